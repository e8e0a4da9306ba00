#include "app/conversion_hook.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "converter/converter.h"
#include "effects/effects_test_support.h"
#include "effects/frame_effects.h"
#include "effects/watermark_error.h"
#include "support/temp_folder.h"

namespace quillo::app {
namespace {

using effects::testing::Noise;
using effects::testing::Solid;
using quillo::testing::TempFolder;

class ConversionHook : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        logo_ = folder_ / "logo.bmp";
        effects::testing::WriteBmp(logo_, Solid(6, 4, {20, 40, 250}));
        JobRecord& job = jobs_[0];
        job.Brightness = 300;
        job.Exposure = -20;
        WmRec text;
        text.Text = "Quillo";
        text.Font.Name = "DejaVu Sans";
        text.TextWidth = 40;
        text.TextHeight = 16;
        text.HasBackground = true;
        text.BackColor = 0x804020;
        text.TextOpacity = 190;
        text.EndSec = 10;
        WmRec image;
        image.Kind = WmRec::ImageKind;
        image.ImageFile = logo_;
        image.ImageLeft = 20;
        image.ImageTop = 9;
        image.ImageOpacity = 128;
        image.StartSec = 1;
        image.EndSec = 1;
        job.ReplaceWatermarks({text, image});
    }

    const JobRecord* JobOf(int task) const {
        const auto found = jobs_.find(task);
        return found == jobs_.end() ? nullptr : &found->second;
    }

    TempFolder folder_;
    std::filesystem::path logo_;
    std::map<int, JobRecord> jobs_;
};

// The job of the task is drawn as the frame effects draw it; a task without a job is left
// alone; the converter's flags come back as they went in.
TEST_F(ConversionHook, AppliesTheJobOfTheTaskAndKeepsTheFlags) {
    ConversionFrameHook hook([this](int task) { return JobOf(task); });
    struct Case {
        int task;
        std::int64_t pts;
        bool update;
        bool stopHook;
    };
    const std::vector<Case> cases = {
        {0, 1500000, true, false}, {0, 2000000, false, true}, {0, 0, true, true},
        {3, 1500000, true, false}, {3, 1500000, false, true},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(::testing::Message() << "task " << test.task << " at " << test.pts);
        media::Bitmap frame = Noise(33, 17);
        converter::HookInfo info{.TaskIndex = test.task,
                                 .Bitmap = &frame,
                                 .FrameNumber = 1,
                                 .PTS = test.pts,
                                 .Update = test.update,
                                 .StopHook = test.stopHook};
        hook.Apply(info);
        EXPECT_EQ(info.Update, test.update);
        EXPECT_EQ(info.StopHook, test.stopHook);
        media::Bitmap expected = Noise(33, 17);
        if (const JobRecord* job = JobOf(test.task)) {
            effects::WatermarkImageCache images;
            effects::ApplyFrameEffects(expected, test.pts, {300, 0, 255, -20}, job->Watermarks,
                                       images);
            EXPECT_NE(expected, Noise(33, 17));
        }
        EXPECT_EQ(frame, expected);
    }
    converter::HookInfo noBitmap{.TaskIndex = 0, .Bitmap = nullptr};
    hook.Apply(noBitmap);
}

// A picture that went missing fails each frame that shows it, through the converter's event
// handler; when it is back, frames draw it again, also after a new batch resets the hook.
TEST_F(ConversionHook, APictureMissingDuringTheBatchFailsEachFrameThatShowsIt) {
    ConversionFrameHook hook([this](int task) { return JobOf(task); });
    converter::Converter sender;
    sender.OnCustomHook = hook.AsHandler();
    const auto drawn = [&](std::int64_t pts) {
        media::Bitmap frame = Noise(33, 17);
        converter::HookInfo info{.TaskIndex = 0, .Bitmap = &frame, .PTS = pts};
        sender.OnCustomHook.Get()(sender, &info);
        return frame;
    };
    const media::Bitmap withLogo = drawn(1000000);
    std::filesystem::remove(logo_);
    for (const std::int64_t pts : {1000000, 1040000}) {
        EXPECT_THROW(drawn(pts), effects::WatermarkError) << pts;
    }
    EXPECT_NO_THROW(drawn(2000000));  // the picture does not show then
    effects::testing::WriteBmp(logo_, Solid(6, 4, {20, 40, 250}));
    EXPECT_EQ(drawn(1000000), withLogo);
    hook.Reset();
    EXPECT_EQ(drawn(1000000), withLogo);
}

}  // namespace
}  // namespace quillo::app
