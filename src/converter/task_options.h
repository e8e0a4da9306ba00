#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "converter/conversion_options.h"
#include "converter/extra_options.h"
#include "converter/transcoder.h"

namespace quillo::converter {

// Microseconds as the engine's duration text: seconds with six decimals ("-1.500000").
std::string DurationText(std::int64_t microseconds);

// The engine's "timestamp" value for a metadata time stamp (local date-time in days from
// 1899-12-30): "now" for 0, else the moment in UTC, taking the time zone's standard bias
// without daylight saving. Empty when the stamp is negative (not set).
std::string TimestampText(double timestamp);

// Hands an input record to the engine before its input is opened: the extra lines meant for
// an input, then format, start time and program.
void ApplyInputOptions(Transcoder& engine, const InputOptions& options);

// Hands an output record to the engine in the order that decides which value wins when
// several sources set one option: target, codecs and presets, extra lines, record fields,
// then frame size and filters; after the output is opened, the streams the extra lines add.
class OutputSetup {
public:
    // Collects the first-stream defaults from the record and, where it leaves them empty,
    // from the extra lines. The record must outlive the setup.
    explicit OutputSetup(const OutputOptions& options);

    // Everything before the output is opened.
    void Prepare(Transcoder& engine) const;
    // Every "newaudio", "newvideo" and "newsubtitle" line adds its stream, each with the
    // codec, preset, size and filter lines queued for it, or else the defaults again.
    void AddStreams(Transcoder& engine);

private:
    const std::string& Default(const std::string& name) const;
    void ApplyStreamOption(Transcoder& engine, const std::string& name);
    void ApplyFields(Transcoder& engine) const;
    void ApplyMetadata(Transcoder& engine) const;

    const OutputOptions& options_;
    std::vector<OptionLine> lines_;
    // The first stream's codecs, presets, size and filters by option name ("acodec" for the
    // default of "acodec").
    std::map<std::string, std::string> defaults_;
    // Stream option lines of the extra text, in text order, for the streams added later.
    std::vector<OptionLine> queued_;
};

}  // namespace quillo::converter
