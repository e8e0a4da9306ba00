#include "media/media_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "media/library_bindings.h"
#include "media/library_error.h"
#include "media/system_libraries.h"

namespace quillo::media {
namespace {

TEST(FormatTimeUsTest, Table) {
    const std::vector<std::pair<std::int64_t, std::string>> cases = {
        {0, "00:00:00.000"},   {3'723'004'000, "01:02:03.004"}, {90'000'000'000, "25:00:00.000"},
        {999, "00:00:00.000"}, {59'999'999, "00:00:59.999"},    {INT64_MIN, "N/A"},
    };
    for (const auto& [microseconds, text] : cases) {
        EXPECT_EQ(FormatTimeUs(microseconds), text) << microseconds;
    }
}

TEST(FormatFileSizeTest, ThresholdsAreExclusive) {
    const std::vector<std::pair<std::int64_t, std::string>> cases = {
        {-5, "-5 Byte"},
        {0, "0 Byte"},
        {1024, "1024 Byte"},
        {1025, "1.00 KB"},
        {1'048'576, "1024.00 KB"},
        {1'048'577, "1.00 MB"},
        {1'572'864, "1.50 MB"},
        {1'073'741'824, "1024.00 MB"},
        {1'073'741'825, "1.00 GB"},
        {5'905'580'032, "5.50 GB"},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(FormatFileSize(bytes, '.'), text) << bytes;
    }
}

TEST(FormatFileSizeTest, UsesTheGivenDecimalSeparator) {
    EXPECT_EQ(FormatFileSize(1'572'864, ','), "1,50 MB");
    EXPECT_EQ(FormatFileSize(1024, ','), "1024 Byte");
}

TEST(FormatFileSizeTest, UserSeparatorComesFromTheEnvironment) {
    // The tests run in the C or a C.UTF-8 locale unless the environment says otherwise.
    const char separator = UserDecimalSeparator();
    EXPECT_TRUE(separator == '.' || separator == ',');
    EXPECT_EQ(FormatFileSize(1025), std::string("1") + separator + "00 KB");
}

TEST(FormatLibraryErrorTest, CodesGiveTheTextsOfTheirMeaning) {
    const std::vector<std::pair<int, std::string>> cases = {
        {AVERROR(ENOENT), "No such file or directory"},
        {AVERROR(EIO), "I/O error"},
        {AVERROR(ENOMEM), "Not enough memory"},
        {AVERROR(EINVAL), "Invalid data found when processing input"},
        {AVERROR_INVALIDDATA, "Invalid data found when processing input"},
        {AVERROR(EPIPE), "End of file"},
        {AVERROR_EOF, "End of file"},
        {AVERROR(EDOM), "Number syntax expected in filename"},
        {AVERROR(EILSEQ), "Unknown format"},
        {AVERROR_DEMUXER_NOT_FOUND, "Unknown format"},
        {AVERROR_PROTOCOL_NOT_FOUND, "Unsupported network protocol"},
        {AVERROR_PATCHWELCOME, "Not yet implemented in FFmpeg"},
        {-1163346256, "Not yet implemented in FFmpeg"},
        {AVERROR(EACCES), "Permission denied"},
        {AVERROR(EPERM), "Permission denied"},
        {AVERROR(EISDIR), "Is a directory"},
        {AVERROR(ENOTDIR), "Not a directory"},
        {AVERROR(ENOSPC), "No space left on device"},
        {AVERROR(EFBIG), "File too large"},
        {AVERROR(EROFS), "Read-only file system"},
        {-13, "Permission denied"},
        {-21, "Is a directory"},
        {-7, "Error number -7 occurred"},
        {0, "Error number 0 occurred"},
    };
    for (const auto& [code, text] : cases) {
        EXPECT_EQ(FormatLibraryError("a.avi", code), "a.avi: " + text) << code;
    }
}

TEST(MediaTypeNameTest, Table) {
    const std::vector<std::pair<int, std::string>> cases = {{AVMEDIA_TYPE_VIDEO, "Video"},
                                                            {AVMEDIA_TYPE_AUDIO, "Audio"},
                                                            {AVMEDIA_TYPE_DATA, "Data"},
                                                            {AVMEDIA_TYPE_SUBTITLE, "Subtitle"},
                                                            {AVMEDIA_TYPE_ATTACHMENT, "Attachment"},
                                                            {AVMEDIA_TYPE_UNKNOWN, "Unknown"},
                                                            {5, "Unknown"},
                                                            {99, "Unknown"}};
    for (const auto& [code, text] : cases) {
        EXPECT_EQ(MediaTypeName(code), text) << code;
    }
}

class CodecDescriptionTest : public ::testing::Test {
protected:
    void SetUp() override { testing::LoadSystemLibraries(); }
};

TEST_F(CodecDescriptionTest, KnownCodecsShowShortAndLongName) {
    EXPECT_EQ(CodecDescription(AV_CODEC_ID_MPEG4, 0, false), "mpeg4(MPEG-4 part 2)");
    EXPECT_EQ(CodecDescription(AV_CODEC_ID_PCM_S16LE, 0, true),
              "pcm_s16le(PCM signed 16-bit little-endian)");
}

TEST_F(CodecDescriptionTest, CodecsWithoutADecoderOrEncoderFallBack) {
    const std::uint32_t xvid = MKTAG('X', 'V', 'I', 'D');
    const std::vector<std::tuple<AVCodecID, std::uint32_t, bool, std::string>> cases = {
        {AV_CODEC_ID_MPEG2TS, xvid, false, "mpeg2ts"},
        // Known to the libraries, but this build cannot encode it.
        {AV_CODEC_ID_VP6, xvid, true, "vp6"},
        {AV_CODEC_ID_NONE, xvid, false, "XVID / 0x44495658"},
        {AV_CODEC_ID_NONE, 0x01, false, "0x0001"},
        {AV_CODEC_ID_NONE, MKTAG('a', 'b', '\t', 'd'), false, "0x64096261"},
    };
    for (const auto& [id, tag, encoder, text] : cases) {
        EXPECT_EQ(CodecDescription(id, tag, encoder), text) << id;
    }
}

TEST_F(CodecDescriptionTest, ContextsAndParametersAreDescribedByTheirIdAndTag) {
    AVCodecParameters parameters{};
    parameters.codec_id = AV_CODEC_ID_NONE;
    parameters.codec_tag = MKTAG('D', 'I', 'V', 'X');
    EXPECT_EQ(CodecDescription(parameters, false), "DIVX / 0x58564944");
}

TEST_F(CodecDescriptionTest, MetadataValueFindsTheKeyOrGivesTheDefault) {
    AVDictionary* dictionary = nullptr;
    lib::avutil.av_dict_set(&dictionary, "title", "A film", 0);
    lib::avutil.av_dict_set(&dictionary, "title2", "Other", 0);

    EXPECT_EQ(MetadataValue(dictionary, "title", "none"), "A film");
    EXPECT_EQ(MetadataValue(dictionary, "TITLE", "none"), "A film");
    EXPECT_EQ(MetadataValue(dictionary, "tit", "none"), "none");
    EXPECT_EQ(MetadataValue(dictionary, "artist", ""), "");
    EXPECT_EQ(MetadataValue(nullptr, "title", "none"), "none");
    lib::avutil.av_dict_free(&dictionary);
}

}  // namespace
}  // namespace quillo::media
