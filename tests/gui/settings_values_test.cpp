// The settings editor's tables and checks on their own: what each encoder, channel, volume and
// zoom choice stores, which typed values pass, and which typed keys a box takes.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "gui/settings_values.h"
#include "support/temp_folder.h"

namespace quillo::gui::settings_values {
namespace {

struct Stored {
    const char* text;
    const char* value;  // nullptr: nothing stored
};

void ExpectTable(std::optional<QString> (*lookUp)(const QString&),
                 std::initializer_list<Stored> cases) {
    for (const Stored& entry : cases) {
        SCOPED_TRACE(entry.text);
        const std::optional<QString> value = lookUp(QString::fromLatin1(entry.text));
        if (entry.value == nullptr) {
            EXPECT_FALSE(value.has_value()) << value->toStdString();
        } else {
            ASSERT_TRUE(value.has_value());
            EXPECT_EQ(value->toStdString(), entry.value);
        }
    }
}

TEST(SettingsValuesGuiTest, VideoEncoderTextsStoreTheirEncoders) {
    ExpectTable(&VideoEncoderValue, {{"mpeg-4", "mpeg4"},
                                     {"MPEG-4", "mpeg4"},
                                     {"3gp", "3gp"},
                                     {"3g2", "3g2"},
                                     {"xvid", "libxvid"},
                                     {"XviD", "libxvid"},
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
                                     {"H264", "libx264"},
                                     {"hevc", nullptr},
                                     {"mpeg-4 ", nullptr},
                                     {"", nullptr}});
    EXPECT_TRUE(IsH264(QStringLiteral("H264")));
    EXPECT_FALSE(IsH264(QStringLiteral("h263")));
}

TEST(SettingsValuesGuiTest, AudioEncoderTextsStoreTheirEncoders) {
    ExpectTable(&AudioEncoderValue, {{"mp3", "libmp3lame"},
                                     {"MP3", "libmp3lame"},
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
                                     {"CCITT mu-law(8-bit)", "pcm_mulaw"},
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
                                     {"opus", nullptr},
                                     {" aac", nullptr},
                                     {"", nullptr}});
    EXPECT_TRUE(IsGsm(QStringLiteral("GSM")));
    EXPECT_FALSE(IsGsm(QStringLiteral("gsm ")));
}

TEST(SettingsValuesGuiTest, ChannelItemsStoreTheirCounts) {
    ExpectTable(&ChannelValue, {{"as source", "as source"},
                                {"mono 1 channel", "1"},
                                {"Stereo 2 Channels", "2"},
                                {"5.1", nullptr},
                                {"", nullptr}});
}

TEST(SettingsValuesGuiTest, VolumePercentagesOfTheListStoreTheirScaleAndOthersNothing) {
    const struct {
        const char* item;
        bool number;
        const char* value;
    } cases[] = {{"25%", true, "64"},     {"50%", true, "128"},     {"75%", true, "192"},
                 {"100%", true, "256"},   {"125%", true, "320"},    {"150%", true, "384"},
                 {"175%", true, "448"},   {"200%", true, "512"},    {"250%", true, "640"},
                 {"300%", true, "768"},   {"350%", true, "896"},    {"400%", true, "1024"},
                 {"110%", true, nullptr}, {"0%", true, nullptr},    {"-100%", true, nullptr},
                 {"1000", true, "256"},   {"loud", false, nullptr}, {"%", false, nullptr},
                 {"", false, nullptr}};
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.item);
        const VolumeChoice choice = VolumeValue(QString::fromLatin1(entry.item));
        EXPECT_EQ(choice.Number, entry.number);
        if (entry.value == nullptr) {
            EXPECT_FALSE(choice.Value.has_value());
        } else {
            ASSERT_TRUE(choice.Value.has_value());
            EXPECT_EQ(choice.Value->toStdString(), entry.value);
        }
    }
}

TEST(SettingsValuesGuiTest, ZoomIndexesAndKeywordsMatchAndUnknownKeywordsShowFullScreen) {
    EXPECT_EQ(ZoomItems(), (QStringList{"Full screen", "Letterbox", "Pan and Scan"}));
    const struct {
        int index;
        const char* keyword;
    } pairs[] = {{0, "full"}, {1, "lbox"}, {2, "pan"}};
    for (const auto& pair : pairs) {
        EXPECT_EQ(ZoomKeyword(pair.index).toStdString(), pair.keyword);
        EXPECT_EQ(ZoomIndex(QString::fromLatin1(pair.keyword)), pair.index);
    }
    EXPECT_EQ(ZoomIndex(QStringLiteral("PAN")), 2);
    EXPECT_EQ(ZoomIndex(QStringLiteral("center")), 0);
    EXPECT_EQ(ZoomIndex(QString()), 0);
    EXPECT_EQ(ZoomKeyword(-1).toStdString(), "full");
}

struct CheckCase {
    const char* text;
    Checked::Verdict verdict;
    const char* result;  // the kept or corrected text
};

void ExpectChecks(Checked (*check)(const QString&), std::initializer_list<CheckCase> cases) {
    for (const CheckCase& entry : cases) {
        SCOPED_TRACE(entry.text);
        const Checked checked = check(QString::fromLatin1(entry.text));
        EXPECT_EQ(checked.Result, entry.verdict);
        EXPECT_EQ(checked.Text.toStdString(), entry.result);
    }
}

constexpr auto Fine = Checked::Verdict::Fine;
constexpr auto Invalid = Checked::Verdict::Invalid;
constexpr auto Corrected = Checked::Verdict::Corrected;

TEST(SettingsValuesGuiTest, FrameSizesAreCheckedAndOddSidesCorrectedDownToEven) {
    ExpectChecks(&CheckFrameSize, {{"720x480", Fine, "720x480"},
                                   {"721x481", Corrected, "720x480"},
                                   {"0x0", Corrected, "2x2"},
                                   {"1x479", Corrected, "2x478"},
                                   {"8192x8192", Fine, "8192x8192"},
                                   {"8193x480", Invalid, ""},
                                   {"720x9000", Invalid, ""},
                                   {"720480", Invalid, ""},
                                   {"abc", Invalid, ""},
                                   {"", Invalid, ""},
                                   {"x480", Invalid, ""},
                                   {"720x", Invalid, ""},
                                   {"-720x480", Invalid, ""},
                                   {"72x0x480", Invalid, ""},
                                   {"as source", Fine, "as source"},
                                   {"As Source", Fine, "as source"}});
}

TEST(SettingsValuesGuiTest, BitRatesSampleRatesAndFrameRatesAreChecked) {
    ExpectChecks(&CheckVideoBitRate, {{"768", Fine, "768"},
                                      {"2147483", Fine, "2147483"},
                                      {"2147484", Invalid, ""},
                                      {"0", Invalid, ""},
                                      {"-5", Invalid, ""},
                                      {"7.5", Invalid, ""},
                                      {"12k", Invalid, ""},
                                      {"", Invalid, ""},
                                      {"AS SOURCE", Fine, "as source"}});
    ExpectChecks(&CheckAudioBitRate, {{"128", Fine, "128"},
                                      {"96.5", Fine, "96.5"},
                                      {"0", Invalid, ""},
                                      {"0.0001", Invalid, ""},
                                      {"-64", Invalid, ""},
                                      {"1.2.8", Invalid, ""},
                                      {"3000000", Invalid, ""},
                                      {"as source", Fine, "as source"}});
    ExpectChecks(&CheckSampleRate, {{"44100", Fine, "44100"},
                                    {"768000", Fine, "768000"},
                                    {"768001", Invalid, ""},
                                    {"0", Invalid, ""},
                                    {"-8000", Invalid, ""},
                                    {"44.1", Invalid, ""},
                                    {"as source", Fine, "as source"}});
    ExpectChecks(&CheckFrameRate, {{"29.97", Fine, "29.97"},
                                   {"25", Fine, "25"},
                                   {"0", Invalid, ""},
                                   {"1001", Invalid, ""},
                                   {"30000/1001", Invalid, ""},
                                   {"fast", Invalid, ""},
                                   {"as source", Fine, "as source"}});
}

TEST(SettingsValuesGuiTest, TypedCharactersAreTakenByTheirBoxesRules) {
    const QStringList sizes{"as source", "320x240", "640x480"};
    const QStringList rates{"as source", "22050", "44100"};
    const struct {
        TypedBox box;
        char typed;
        const char* result;
        KeyVerdict verdict;
    } cases[] = {
        {TypedBox::FrameSize, '7', "7", KeyVerdict::Take},
        {TypedBox::FrameSize, 'x', "720x", KeyVerdict::Take},
        {TypedBox::FrameSize, 'x', "720x4x", KeyVerdict::Refuse},
        {TypedBox::FrameSize, 'X', "720X", KeyVerdict::Refuse},
        {TypedBox::FrameSize, 'a', "a", KeyVerdict::Take},
        {TypedBox::FrameSize, 'S', "aS", KeyVerdict::Take},
        {TypedBox::FrameSize, 'q', "aq", KeyVerdict::Refuse},
        {TypedBox::VideoBitRate, '5', "1245", KeyVerdict::Take},
        {TypedBox::VideoBitRate, 'k', "12k", KeyVerdict::Refuse},
        {TypedBox::VideoBitRate, '.', "12.", KeyVerdict::Refuse},
        {TypedBox::VideoBitRate, 'a', "a", KeyVerdict::Take},
        {TypedBox::SampleRate, '-', "-", KeyVerdict::Refuse},
        {TypedBox::SampleRate, 'e', "as source", KeyVerdict::Take},
        {TypedBox::AudioBitRate, '.', "96.", KeyVerdict::Take},
        {TypedBox::AudioBitRate, '.', "96.5.", KeyVerdict::Refuse},
        {TypedBox::AudioBitRate, ' ', "96 ", KeyVerdict::Refuse},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.result);
        const QStringList& items = entry.box == TypedBox::FrameSize ? sizes : rates;
        EXPECT_EQ(JudgeTypedCharacter(entry.box, QLatin1Char(entry.typed),
                                      QString::fromLatin1(entry.result), items),
                  entry.verdict);
    }
    // Digits of other scripts are no numbers for the engine.
    EXPECT_EQ(
        JudgeTypedCharacter(TypedBox::SampleRate, QChar(0x0663), QString(QChar(0x0663)), rates),
        KeyVerdict::Refuse);
}

TEST(SettingsValuesGuiTest, H264ExtrasAreCopiedOnlyWhenTheEncoderCanUseThem) {
    const quillo::testing::TempFolder folder;
    const profiles::ProfileFiles files{folder / "settings.ini", folder / "catalogue.ini"};
    quillo::testing::WriteFile(files.Catalogue,
                               "[formatInfo7]\nparaBitExact=TRUE\nparaMaxBitrate=4000\n"
                               "paraBufferSize=0\nparaLevel=31\nparaQscale=-1\nparaGop=25x\n"
                               "paraCoder=0\n[formatInfo8]\nparaBitExact=false\nparaCoder=-1\n"
                               "paraGop=250\n");
    using Extras = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(H264Extras(files, 7), (Extras{{"paraBitExact", "TRUE"},
                                            {"paraMaxBitrate", "4000"},
                                            {"paraLevel", "31"},
                                            {"paraCoder", "0"}}));
    EXPECT_EQ(H264Extras(files, 8), (Extras{{"paraGop", "250"}}));
    EXPECT_EQ(H264Extras(files, 9), Extras{});
}

}  // namespace
}  // namespace quillo::gui::settings_values
