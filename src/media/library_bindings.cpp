#include "media/library_bindings.h"

#include "media/dynamic_library.h"

namespace quillo::media::lib {

#define QUILLO_BIND_ENTRY(name) BindFunction(fileName, handle, #name, table.name);

#define QUILLO_DEFINE_BINDING(Suffix, instance, ENTRIES)           \
    void Bind##Suffix(const std::string& fileName, void* handle) { \
        auto& table = instance;                                    \
        ENTRIES(QUILLO_BIND_ENTRY)                                 \
    }                                                              \
    void Unbind##Suffix() {                                        \
        instance = {};                                             \
    }

QUILLO_DEFINE_BINDING(AvCodec, avcodec, QUILLO_AVCODEC_ENTRIES)
QUILLO_DEFINE_BINDING(AvDevice, avdevice, QUILLO_AVDEVICE_ENTRIES)
QUILLO_DEFINE_BINDING(AvFilter, avfilter, QUILLO_AVFILTER_ENTRIES)
QUILLO_DEFINE_BINDING(AvFormat, avformat, QUILLO_AVFORMAT_ENTRIES)
QUILLO_DEFINE_BINDING(AvUtil, avutil, QUILLO_AVUTIL_ENTRIES)
QUILLO_DEFINE_BINDING(SwScale, swscale, QUILLO_SWSCALE_ENTRIES)
QUILLO_DEFINE_BINDING(SwResample, swresample, QUILLO_SWRESAMPLE_ENTRIES)
QUILLO_DEFINE_BINDING(Sdl2, sdl2, QUILLO_SDL2_ENTRIES)

#undef QUILLO_DEFINE_BINDING
#undef QUILLO_BIND_ENTRY

}  // namespace quillo::media::lib
