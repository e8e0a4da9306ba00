#pragma once

#include <string>

#include "converter/conversion_options.h"
#include "profiles/profile_files.h"
#include "profiles/prompter.h"

namespace quillo::profiles {

// What the media probe found in a job's source that a profile needs.
struct SourceFacts {
    int VideoStreamCount = 0;  // 0 = no video
    int Width = -1;            // first video stream, pixels; <= 0 = unknown
    int Height = -1;
    int VideoBitRate = 0;     // bit/s
    int AudioSampleRate = 0;  // first audio stream, Hz
    int AudioBitRate = 0;     // bit/s
};

// The part of a job's record that shapes its picture.
struct JobFraming {
    std::string ZoomMode = "lbox";  // "full", "lbox", "pan" or "center"
    int CropTop = 0;
    int CropBottom = 0;
    int CropLeft = 0;
    int CropRight = 0;
};

// Fills the output and input records of one job from the profile with that code. The records
// come initialised, with the job's trim and crop already copied in. A frame size the profile
// cannot give is asked about through the prompter. A catalogue range list that is not a
// number raises a MediaError with the conversion message; a catalogue fallback that is not a
// positive number is not used, and leaves its option unset.
void BuildProfileOptions(const ProfileFiles& files, int profileCode, const JobFraming& job,
                         const SourceFacts& source, converter::OutputOptions& output,
                         converter::InputOptions& input, Prompter& prompter);

// True when the source's value lies inside the range the profile's catalogue list accepts.
// parameter: "audiosamplerate" (Hz), "audiobitrate" or "videobitrate" (bit/s; the catalogue
// lists bit rates in kbit/s).
bool SourceValueInRange(const ProfileFiles& files, const std::string& parameter, double sourceValue,
                        int profileCode);

// The picture part of the builder on its own: the zoom mode applied to a frame size W x H for
// a source of SW x SH, writing frame size, aspect ratio and crop fields of output and
// returning the filter text.
std::string ApplyZoom(const JobFraming& job, int width, int height, int sourceWidth,
                      int sourceHeight, converter::OutputOptions& output);

}  // namespace quillo::profiles
