#include <gtest/gtest.h>

#include "app/job_record.h"
#include "profiles/ini_file.h"
#include "profiles/test_support.h"

namespace quillo::app {
namespace {

using testing::TempFolder;

TEST(JobRecord, ANewJobIsNeutralAndTakesTheProfilesZoom) {
    TempFolder folder;
    const profiles::ProfileFiles files{folder / "s.ini", folder / "c.ini"};
    JobRecord job = NewJobRecord(files, "/v/clip.mpg", "/out/clip_(new).mp4", 61999999);
    EXPECT_EQ(job.SourceFile, "/v/clip.mpg");
    EXPECT_EQ(job.OutputFile, "/out/clip_(new).mp4");
    EXPECT_EQ(job.Duration, 61);
    EXPECT_EQ(job.StartTime, 0);
    EXPECT_EQ(job.TrimDuration, 0);
    EXPECT_EQ(job.ZoomMode, "lbox");
    EXPECT_EQ(job.CropTop + job.CropLeft + job.CropBottom + job.CropRight, 0);
    EXPECT_EQ(job.Brightness, 255);
    EXPECT_EQ(job.Contrast, 0);
    EXPECT_EQ(job.Saturation, 255);
    EXPECT_EQ(job.Exposure, 0);
    EXPECT_TRUE(job.Watermarks.empty());
    EXPECT_FALSE(job.NeedsFrameHook());

    profiles::IniFile(files.Settings).WriteString("settings", "FormatCode", "300");
    profiles::IniFile(files.Settings).WriteString("formatInfo300", "paraZoom", "pan");
    EXPECT_EQ(NewJobRecord(files, "/v/a.avi", "/o/a.mov", 0).ZoomMode, "pan");
}

WmRec TextItem(const std::string& text) {
    WmRec item;
    item.Text = text;
    return item;
}

WmRec ImageItem(const std::string& file) {
    WmRec item;
    item.Kind = 1;
    item.ImageFile = file;
    return item;
}

TEST(JobRecord, AdjustmentsOrAFirstWatermarkWithContentNeedTheFrameHook) {
    const struct {
        const char* name;
        void (*change)(JobRecord&);
        bool needed;
    } cases[] = {
        {"brightness", [](JobRecord& j) { j.Brightness = 256; }, true},
        {"contrast", [](JobRecord& j) { j.Contrast = -1; }, true},
        {"saturation", [](JobRecord& j) { j.Saturation = 0; }, true},
        {"exposure", [](JobRecord& j) { j.Exposure = 5; }, true},
        {"text item", [](JobRecord& j) { j.ReplaceWatermarks({TextItem("(c)")}); }, true},
        {"image item", [](JobRecord& j) { j.ReplaceWatermarks({ImageItem("/p/l.bmp")}); }, true},
        // Only the first item is looked at.
        {"empty first item",
         [](JobRecord& j) {
             j.ReplaceWatermarks({WmRec{}, TextItem("late")});
         },
         false},
        {"no change", [](JobRecord&) {}, false},
    };
    for (const auto& c : cases) {
        JobRecord job;
        c.change(job);
        EXPECT_EQ(job.NeedsFrameHook(), c.needed) << c.name;
    }
}

TEST(JobRecord, ReplacingWatermarksDropsTheOldItemsWithTheirFonts) {
    JobRecord job;
    WmRec text;
    text.Text = "hello";
    text.Font.Name = "Serif";
    text.Font.Bold = true;
    WmRec image;
    image.Kind = 1;
    image.ImageFile = "/pics/logo.bmp";
    job.ReplaceWatermarks({text, image});
    ASSERT_EQ(job.Watermarks.size(), 2u);
    EXPECT_EQ(job.Watermarks[0].Font.Name, "Serif");
    JobRecord copy = job;
    copy.Watermarks[0].Font.Name = "Mono";
    EXPECT_EQ(job.Watermarks[0].Font.Name, "Serif");  // each job owns its own items
    job.ReplaceWatermarks({});
    EXPECT_TRUE(job.Watermarks.empty());
}

TEST(JobRecord, FramingCarriesEachMarginToItsSide) {
    JobRecord job;
    job.ZoomMode = "full";
    job.CropTop = 2;
    job.CropLeft = 4;
    job.CropBottom = 6;
    job.CropRight = 8;
    const profiles::JobFraming framing = job.Framing();
    EXPECT_EQ(framing.ZoomMode, "full");
    EXPECT_EQ(framing.CropTop, 2);
    EXPECT_EQ(framing.CropLeft, 4);
    EXPECT_EQ(framing.CropBottom, 6);
    EXPECT_EQ(framing.CropRight, 8);
}

}  // namespace
}  // namespace quillo::app
