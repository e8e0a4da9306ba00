#pragma once

// The binding tables: one process-wide table of function pointers per media library.
// Code calls the libraries only through these tables (lib::avutil.av_malloc(...)); the
// program does not link the libraries, so a direct call fails to link.

#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavdevice/avdevice.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/avutil.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}
#include <SDL2/SDL.h>

#include "media/library_entries.h"

namespace quillo::media::lib {

#define QUILLO_DECLARE_ENTRY(name) decltype(&::name) name = nullptr;

struct AvCodecTable {
    QUILLO_AVCODEC_ENTRIES(QUILLO_DECLARE_ENTRY)
};
struct AvDeviceTable {
    QUILLO_AVDEVICE_ENTRIES(QUILLO_DECLARE_ENTRY)
};
struct AvFilterTable {
    QUILLO_AVFILTER_ENTRIES(QUILLO_DECLARE_ENTRY)
};
struct AvFormatTable {
    QUILLO_AVFORMAT_ENTRIES(QUILLO_DECLARE_ENTRY)
};
struct AvUtilTable {
    QUILLO_AVUTIL_ENTRIES(QUILLO_DECLARE_ENTRY)
};
struct SwScaleTable {
    QUILLO_SWSCALE_ENTRIES(QUILLO_DECLARE_ENTRY)
};
struct SwResampleTable {
    QUILLO_SWRESAMPLE_ENTRIES(QUILLO_DECLARE_ENTRY)
};
struct Sdl2Table {
    QUILLO_SDL2_ENTRIES(QUILLO_DECLARE_ENTRY)
};

#undef QUILLO_DECLARE_ENTRY

// Filled by the library loader; every entry is null while its library is not loaded.
inline AvCodecTable avcodec;
inline AvDeviceTable avdevice;
inline AvFilterTable avfilter;
inline AvFormatTable avformat;
inline AvUtilTable avutil;
inline SwScaleTable swscale;
inline SwResampleTable swresample;
inline Sdl2Table sdl2;

// Binding routines: resolve every entry of one table from an opened library, raising
// MediaError on the first missing export. fileName is used in the message only.
void BindAvCodec(const std::string& fileName, void* handle);
void BindAvDevice(const std::string& fileName, void* handle);
void BindAvFilter(const std::string& fileName, void* handle);
void BindAvFormat(const std::string& fileName, void* handle);
void BindAvUtil(const std::string& fileName, void* handle);
void BindSwScale(const std::string& fileName, void* handle);
void BindSwResample(const std::string& fileName, void* handle);
void BindSdl2(const std::string& fileName, void* handle);

// Unbinding routines: reset every entry of one table to null.
void UnbindAvCodec();
void UnbindAvDevice();
void UnbindAvFilter();
void UnbindAvFormat();
void UnbindAvUtil();
void UnbindSwScale();
void UnbindSwResample();
void UnbindSdl2();

}  // namespace quillo::media::lib
