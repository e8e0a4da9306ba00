#include <gtest/gtest.h>

#include "converter/conversion_events.h"
#include "converter/conversion_options.h"

namespace quillo::converter {
namespace {

TEST(ConversionRecords, FreshOutputOptionsApplyNothingButTheFileName) {
    const OutputOptions options;
    for (const int value : {options.PacketSize,
                            options.MuxRate,
                            options.AudioVolume,
                            options.AudioChannels,
                            options.AudioSampleRate,
                            options.AudioBitrate,
                            options.AudioBitrateTolerance,
                            options.CropTop,
                            options.CropBottom,
                            options.CropLeft,
                            options.CropRight,
                            options.GopSize,
                            options.VideoBitrate,
                            options.MaxRate,
                            options.MinRate,
                            options.BitrateTolerance,
                            options.BufferSize,
                            options.VideoSync,
                            options.Metadata.Year,
                            options.Metadata.Track}) {
        EXPECT_EQ(value, -1);
    }
    EXPECT_FLOAT_EQ(options.MuxDelay, -1.0f);
    EXPECT_FLOAT_EQ(options.MuxPreload, -1.0f);
    EXPECT_DOUBLE_EQ(options.Metadata.Timestamp, -1.0);
    EXPECT_EQ(options.AudioSync, 0);
    EXPECT_EQ(options.Target, 0);
    EXPECT_EQ(options.TargetNorm, 0);
    EXPECT_EQ(options.TargetDefaultNorm, 1);
    EXPECT_EQ(options.StartTime, INT64_MIN);
    EXPECT_EQ(options.Duration, INT64_MIN);
    EXPECT_TRUE(options.AudioLanguage.empty());
    EXPECT_TRUE(options.VideoLanguage.empty());
    EXPECT_TRUE(options.SubtitleLanguage.empty());
    EXPECT_FALSE(options.DisableAudio || options.DisableVideo || options.DisableSubtitle ||
                 options.InputSync || options.CopyTimestamps || options.CustomHook || options.Join);
}

TEST(ConversionRecords, InitialisersResetEveryField) {
    OutputOptions output;
    output.FileName = "/tmp/x.avi";
    output.VideoCodec = "mpeg4";
    output.CropTop = 8;
    output.Metadata.Title = "t";
    output.Metadata.Timestamp = 0.0;
    output.StartTime = 0;
    InitOutputOptions(output);
    EXPECT_TRUE(output.FileName.empty());
    EXPECT_TRUE(output.VideoCodec.empty());
    EXPECT_EQ(output.CropTop, -1);
    EXPECT_TRUE(output.Metadata.Title.empty());
    EXPECT_DOUBLE_EQ(output.Metadata.Timestamp, -1.0);
    EXPECT_EQ(output.StartTime, TimeNotSet);

    InputOptions input;
    input.FileFormat = "avi";
    input.StartTime = 0;
    input.ProgramID = 3;
    input.ExtOptions = "vn=1";
    InitInputOptions(input);
    EXPECT_TRUE(input.FileFormat.empty());
    EXPECT_EQ(input.StartTime, TimeNotSet);
    EXPECT_EQ(input.ProgramID, -1);
    EXPECT_TRUE(input.ExtOptions.empty());
}

TEST(ConversionRecords, EventRecordsStartAsTheHandlersExpect) {
    const HookInfo hook;
    EXPECT_TRUE(hook.Update);
    EXPECT_FALSE(hook.StopHook);
    EXPECT_EQ(hook.Bitmap, nullptr);
    const TerminateInfo terminate;
    EXPECT_FALSE(terminate.Exception);
    EXPECT_TRUE(terminate.ExceptionMsg.empty());
    const ProgressInfo progress;
    EXPECT_EQ(progress.TotalDuration, -1);
    EXPECT_FLOAT_EQ(progress.Quality, -1.0f);
    media::Bitmap picture(4, 2);
    const PreviewInfo preview{.TaskIndex = 0, .Bitmap = &picture, .FrameNumber = 1, .PTS = 40000};
    EXPECT_EQ(preview.Bitmap->Width(), 4);
}

}  // namespace
}  // namespace quillo::converter
