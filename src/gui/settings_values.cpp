#include "gui/settings_values.h"

#include <array>
#include <cstdint>
#include <limits>
#include <string_view>

#include "media/value_text.h"
#include "profiles/ini_file.h"
#include "profiles/profile_catalogue.h"

namespace quillo::gui::settings_values {

namespace {

struct Entry {
    std::string_view text;  // lower-cased
    std::string_view value;
};

constexpr std::array<Entry, 27> VideoEncoders = {{
    {"mpeg-4", "mpeg4"},
    {"3gp", "3gp"},
    {"3g2", "3g2"},
    {"xvid", "libxvid"},
    {"mov", "mov"},
    {"wmv1", "wmv1"},
    {"wmv2", "wmv2"},
    {"wmv3", "wmv3"},
    {"flv", "flv"},
    {"swf", "swf"},
    {"msmpeg4", "msmpeg4"},
    {"msmpeg4v1", "msmpeg4v1"},
    {"msmpeg4v2", "msmpeg4v2"},
    {"mpeg1video", "mpeg1video"},
    {"mpeg2video", "mpeg2video"},
    {"h263", "h263"},
    {"h263p", "h263p"},
    {"rawvideo", "rawvideo"},
    {"rv10", "rv10"},
    {"rv20", "rv20"},
    {"dvvideo", "dvvideo"},
    {"huffyuv", "huffyuv"},
    {"ljpeg", "ljpeg"},
    {"mjpeg", "mjpeg"},
    {"svq1", "svq1"},
    {"zlib", "zlib"},
    {"h264", "libx264"},
}};

// The old names "libfaac" and "vorbis" are stored as they are: the engine maps them itself.
constexpr std::array<Entry, 29> AudioEncoders = {{
    {"mp3", "libmp3lame"},
    {"ogg", "vorbis"},
    {"mp2", "mp2"},
    {"aac", "libfaac"},
    {"ac-3", "ac3"},
    {"flac", "flac"},
    {"alac", "alac"},
    {"libamr_nb", "libopencore_amrnb"},
    {"adpcm_swf", "adpcm_swf"},
    {"adpcm_yamaha", "adpcm_yamaha"},
    {"pcm-8bit", "pcm_s8"},
    {"pcm-16bit", "pcm_s16be"},
    {"pcm-24bit", "pcm_s24be"},
    {"pcm-32bit", "pcm_s32be"},
    {"pcm-32bit float", "pcm_f32be"},
    {"pcm-64bit float", "pcm_f64be"},
    {"ccitt a-law(8-bit)", "pcm_alaw"},
    {"ccitt mu-law(8-bit)", "pcm_mulaw"},
    {"ima adpcm(4-bit)", "adpcm_ima_qt"},
    {"gsm", "libgsm"},
    {"pcm_s16", "pcm_s16le"},
    {"pcm_u16", "pcm_u16le"},
    {"pcm_alaw", "pcm_alaw"},
    {"pcm_mulaw ", "pcm_mulaw"},
    {"pcm_mulaw", "pcm_mulaw"},
    {"adpcm_ms", "adpcm_ms"},
    {"adpcm_ima_wav", "adpcm_ima_wav"},
    {"wma1", "wmav1"},
    {"wma2", "wmav2"},
}};

constexpr std::array<Entry, 3> Channels = {{
    {"as source", "as source"},
    {"mono 1 channel", "1"},
    {"stereo 2 channels", "2"},
}};

constexpr std::array<int, 12> VolumePercentages = {25,  50,  75,  100, 125, 150,
                                                   175, 200, 250, 300, 350, 400};

constexpr std::string_view AsSource = "as source";

// The engine's bit rates are 32-bit counts of bits per second.
constexpr double MaximumKilobits = std::numeric_limits<std::int32_t>::max() / 1000.0;
constexpr int MaximumSampleRate = 768000;
constexpr double MaximumFrameRate = 1000.0;

template <std::size_t N>
std::optional<QString> Look(const std::array<Entry, N>& table, const QString& text) {
    const std::string lower = text.toLower().toStdString();
    for (const Entry& entry : table) {
        if (entry.text == lower) {
            return QString::fromLatin1(entry.value.data(),
                                       static_cast<qsizetype>(entry.value.size()));
        }
    }
    return std::nullopt;
}

bool IsAsSource(const QString& text) {
    return text.trimmed().compare(QLatin1String(AsSource), Qt::CaseInsensitive) == 0;
}

Checked Fine(const QString& text) {
    return {Checked::Verdict::Fine, IsAsSource(text) ? QString::fromLatin1(AsSource) : text};
}

Checked Invalid() {
    return {Checked::Verdict::Invalid, {}};
}

std::optional<int> Integer(const QString& text) {
    return media::ParseInteger(text.toStdString());
}

std::optional<double> Number(const QString& text) {
    return media::ParseNumber(text.toStdString());
}

bool PositiveInteger(const std::string& value) {
    const auto number = media::ParseInteger(value);
    return number && *number > 0;
}

}  // namespace

QStringList ZoomItems() {
    return {QStringLiteral("Full screen"), QStringLiteral("Letterbox"),
            QStringLiteral("Pan and Scan")};
}

QString ZoomKeyword(int index) {
    switch (index) {
        case 1:
            return QStringLiteral("lbox");
        case 2:
            return QStringLiteral("pan");
        default:
            return QStringLiteral("full");
    }
}

int ZoomIndex(const QString& keyword) {
    const QString lower = keyword.trimmed().toLower();
    if (lower == QLatin1String("lbox")) {
        return 1;
    }
    if (lower == QLatin1String("pan")) {
        return 2;
    }
    return 0;
}

std::optional<QString> VideoEncoderValue(const QString& text) {
    return Look(VideoEncoders, text);
}

std::optional<QString> AudioEncoderValue(const QString& text) {
    return Look(AudioEncoders, text);
}

bool IsH264(const QString& text) {
    return text.toLower() == QLatin1String("h264");
}

bool IsGsm(const QString& text) {
    return text.toLower() == QLatin1String("gsm");
}

std::optional<QString> ChannelValue(const QString& text) {
    return Look(Channels, text);
}

VolumeChoice VolumeValue(const QString& item) {
    const std::optional<int> percent = item.isEmpty() ? std::nullopt : Integer(item.chopped(1));
    if (!percent) {
        return {};
    }
    VolumeChoice choice{.Number = true, .Value = std::nullopt};
    for (const int listed : VolumePercentages) {
        if (*percent > 0 && *percent == listed) {
            choice.Value = QString::number(listed * 256 / 100);
        }
    }
    return choice;
}

std::vector<std::pair<std::string, std::string>> H264Extras(const profiles::ProfileFiles& files,
                                                            int code) {
    const profiles::IniFile catalogue(files.Catalogue);
    const std::string section = profiles::FormatSection(code);
    std::vector<std::pair<std::string, std::string>> extras;
    const auto copy = [&](const char* key, auto usable) {
        const std::string value = catalogue.ReadString(section, key, "");
        if (usable(value)) {
            extras.emplace_back(key, value);
        }
    };
    copy("paraBitExact",
         [](const std::string& value) { return media::EqualsIgnoreCase(value, "true"); });
    for (const char* key :
         {"paraMaxBitrate", "paraBufferSize", "paraLevel", "paraQscale", "paraGop"}) {
        copy(key, PositiveInteger);
    }
    copy("paraCoder", [](const std::string& value) {
        const auto number = media::ParseInteger(value);
        return number && *number >= 0;
    });
    return extras;
}

Checked CheckFrameSize(const QString& text) {
    if (text.toLower().contains(QLatin1String(AsSource))) {
        return {Checked::Verdict::Fine, QString::fromLatin1(AsSource)};
    }
    const qsizetype x = text.lastIndexOf(QLatin1Char('x'));
    if (x < 0) {
        return Invalid();
    }
    const std::optional<int> width = Integer(text.left(x));
    const std::optional<int> height = Integer(text.mid(x + 1));
    if (!width || !height || *width < 0 || *height < 0 || *width > MaximumFrameSide ||
        *height > MaximumFrameSide) {
        return Invalid();
    }
    const auto even = [](int side) { return side < 2 ? 2 : side / 2 * 2; };
    if (even(*width) != *width || even(*height) != *height) {
        return {Checked::Verdict::Corrected,
                QStringLiteral("%1x%2").arg(even(*width)).arg(even(*height))};
    }
    return {Checked::Verdict::Fine, text};
}

Checked CheckVideoBitRate(const QString& text) {
    if (IsAsSource(text)) {
        return Fine(text);
    }
    const std::optional<int> kilobits = Integer(text);
    return kilobits && *kilobits > 0 && *kilobits <= MaximumKilobits ? Fine(text) : Invalid();
}

Checked CheckAudioBitRate(const QString& text) {
    if (IsAsSource(text)) {
        return Fine(text);
    }
    const std::optional<double> kilobits = Number(text);
    // Below a bit per second the engine would store 0, which means no bit rate at all.
    return kilobits && *kilobits >= 0.001 && *kilobits <= MaximumKilobits ? Fine(text) : Invalid();
}

Checked CheckSampleRate(const QString& text) {
    if (IsAsSource(text)) {
        return Fine(text);
    }
    const std::optional<int> rate = Integer(text);
    return rate && *rate > 0 && *rate <= MaximumSampleRate ? Fine(text) : Invalid();
}

Checked CheckFrameRate(const QString& text) {
    if (IsAsSource(text)) {
        return Fine(text);
    }
    const std::optional<double> rate = Number(text);
    return rate && *rate > 0 && *rate <= MaximumFrameRate ? Fine(text) : Invalid();
}

KeyVerdict JudgeTypedCharacter(TypedBox box, QChar typed, const QString& result,
                               const QStringList& items) {
    for (const QString& item : items) {
        if (item.startsWith(result, Qt::CaseInsensitive)) {
            return KeyVerdict::Take;
        }
    }
    if (typed.isDigit() && typed.unicode() < 128) {
        return KeyVerdict::Take;
    }
    switch (box) {
        case TypedBox::FrameSize:
            return typed == QLatin1Char('x') && result.count(QLatin1Char('x')) == 1
                       ? KeyVerdict::Take
                       : KeyVerdict::Refuse;
        case TypedBox::AudioBitRate:
            return typed == QLatin1Char('.') && result.count(QLatin1Char('.')) == 1
                       ? KeyVerdict::Take
                       : KeyVerdict::Refuse;
        case TypedBox::VideoBitRate:
        case TypedBox::SampleRate:
            return KeyVerdict::Refuse;
    }
    return KeyVerdict::Refuse;
}

}  // namespace quillo::gui::settings_values
