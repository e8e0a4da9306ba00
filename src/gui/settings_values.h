#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "profiles/profile_files.h"

// What the settings editor's boxes mean in the program settings file: the encoder, channel,
// volume and zoom tables, the checks of typed values, and which typed keys the boxes take.
namespace quillo::gui::settings_values {

// The "Zoom:" box's items, in the order of their indexes.
QStringList ZoomItems();
// "full", "lbox", "pan" for the indexes 0, 1, 2; "full" for any other.
QString ZoomKeyword(int index);
// The index of a stored zoom keyword (any case); 0 for one the box does not offer.
int ZoomIndex(const QString& keyword);

// The stored encoder for a box text (compared lower-cased); nothing for a text the table does
// not know, whose stored value then stays.
std::optional<QString> VideoEncoderValue(const QString& text);
std::optional<QString> AudioEncoderValue(const QString& text);
// "h264": the catalogue's H.264 extras go with the encoder.
bool IsH264(const QString& text);
// "gsm": the encoder takes only 8000 Hz mono.
bool IsGsm(const QString& text);
inline constexpr const char* GsmSampleRate = "8000";
inline constexpr const char* GsmChannels = "1";

// "as source", "1" or "2" for the channel items; nothing for another text.
std::optional<QString> ChannelValue(const QString& text);

struct VolumeChoice {
    bool Number = false;           // the item is a percentage ("100%")
    std::optional<QString> Value;  // the stored volume, 256 = unchanged; nothing: keep
};
// A volume item: its text less the last character as a whole percentage; the percentages of
// the catalogue's list give percent * 256 / 100, others store nothing.
VolumeChoice VolumeValue(const QString& item);

// The H.264 keys copied from the catalogue's section of a profile, each only when its value is
// one the encoder can use, as they stand in the catalogue.
std::vector<std::pair<std::string, std::string>> H264Extras(const profiles::ProfileFiles& files,
                                                            int code);

// The outcome of checking a typed value.
struct Checked {
    enum class Verdict { Fine, Invalid, Corrected };
    Verdict Result = Verdict::Fine;
    // Fine: the text to keep (an "as source" in any case becomes "as source"); Corrected: the
    // corrected text; Invalid: empty.
    QString Text;
};

inline constexpr int MaximumFrameSide = 8192;

// "WxH" of integers 0..8192 (split at the last "x"); odd or 0 sides are corrected down to
// even, 0 to 2. A text containing "as source" is fine.
Checked CheckFrameSize(const QString& text);
// kbit/s: an integer above 0 that the engine's 32-bit bit rate holds, or "as source".
Checked CheckVideoBitRate(const QString& text);
// kbit/s: a number above 0 that the engine's 32-bit bit rate holds, or "as source".
Checked CheckAudioBitRate(const QString& text);
// Hz: an integer 1..768000, or "as source".
Checked CheckSampleRate(const QString& text);
// Pictures per second: a number above 0 up to 1000, or "as source".
Checked CheckFrameRate(const QString& text);

// The boxes whose typing is filtered.
enum class TypedBox { FrameSize, VideoBitRate, AudioBitRate, SampleRate };
enum class KeyVerdict { Take, Refuse };
// Whether a typed character goes into a box: result is the box text it would give. The start
// of an item of the box's list (any case) is always taken, so "as source" can be typed;
// otherwise digits, and "x" once in a frame size, and "." once in an audio bit rate.
KeyVerdict JudgeTypedCharacter(TypedBox box, QChar typed, const QString& result,
                               const QStringList& items);

}  // namespace quillo::gui::settings_values
