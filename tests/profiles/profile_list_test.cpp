#include <gtest/gtest.h>

#include "profiles/ini_file.h"
#include "profiles/profile_catalogue.h"
#include "profiles/profile_list.h"
#include "profiles/test_support.h"

namespace quillo::profiles {
namespace {

using testing::TempFolder;
using testing::WriteFile;

class ProfileListTest : public ::testing::Test {
protected:
    TempFolder folder_;
    ProfileFiles files_{folder_ / "quilloxvidconverter.ini", folder_ / "quilloxvidformat.ini"};
};

int IndexOf(const ProfileList& list, const std::string& text) {
    for (std::size_t i = 0; i < list.Lines().size(); ++i) {
        if (list.Lines()[i].Text == text) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

TEST_F(ProfileListTest, FirstRunShowsTheIpodProfileAndSixCollapsedGroups) {
    EXPECT_EQ(CurrentFormatCode(files_), 1);
    EXPECT_EQ(CurrentSection(files_), "formatInfo1");
    EXPECT_EQ(CurrentExtension(files_), "mp4");
    EXPECT_EQ(CurrentZoom(files_), "lbox");

    ProfileList list;
    list.Build(files_);
    ASSERT_EQ(list.Lines().size(), 6u);
    const char* headers[] = {"XviD Video Format",
                             "3GP Video",
                             "Flash Video",
                             "Quick Time Video - MOV",
                             "General Video formates",
                             "General Audio formates"};
    for (int group = 0; group < 6; ++group) {
        const ProfileLine& line = list.Lines()[group];
        EXPECT_EQ(line.Text, headers[group]);
        EXPECT_TRUE(line.Info.IsGroup);
        EXPECT_FALSE(line.Info.IsProfile);
        EXPECT_TRUE(line.Info.Collapsed);
        EXPECT_EQ(line.Info.Code, group);
    }
    EXPECT_EQ(list.BoxText(), "Apple iPod Video MPEG-4 Movie (*.mp4)");
    EXPECT_EQ(list.SelectedIndex(), -1);
    EXPECT_FALSE(std::filesystem::exists(files_.Settings));
}

TEST_F(ProfileListTest, ExpandingAndCollapsingGeneralVideoTouchesExactlyItsTenProfiles) {
    ProfileList list;
    list.Build(files_);
    const int header = IndexOf(list, "General Video formates");
    ASSERT_TRUE(list.ToggleGroup(header));
    ASSERT_EQ(list.Lines().size(), 16u);
    EXPECT_FALSE(list.Lines()[header].Info.Collapsed);
    const char* texts[] = {"MPEG-1 Video (*.mpg)",
                           "MPEG-2 Video (*.mpg)",
                           "MPEG-4 Video (*.mp4)",
                           "H.264/MPEG-4 AVC Video (*.mp4)",
                           "AVI Video (*.avi)",
                           "WMV Video (*.wmv)",
                           "Divx Video (*.avi)",
                           "Xvid Video (*.avi)",
                           "DV - NTSC -Digital Video Format (*.dv)",
                           "DV - PAL -Digital Video Format (*.dv)"};
    for (int position = 0; position < 10; ++position) {
        const ProfileLine& line = list.Lines()[header + 1 + position];
        EXPECT_EQ(line.Text, texts[position]);
        EXPECT_TRUE(line.Info.IsProfile);
        EXPECT_EQ(line.Info.Code, 400 + position);
        EXPECT_EQ(line.Info.Tag, "Apple iPod");
    }
    EXPECT_EQ(list.Lines()[header + 11].Text, "General Audio formates");

    ASSERT_TRUE(list.ToggleGroup(header));
    EXPECT_EQ(list.Lines().size(), 6u);
    EXPECT_TRUE(list.Lines()[header].Info.Collapsed);
    EXPECT_FALSE(list.ToggleGroup(99));
}

TEST_F(ProfileListTest, SelectingAviStoresItsCodeAndName) {
    ProfileList list;
    list.Build(files_);
    ASSERT_TRUE(list.ToggleGroup(IndexOf(list, "General Video formates")));
    EXPECT_FALSE(list.SelectProfile(files_, IndexOf(list, "3GP Video")));
    EXPECT_FALSE(std::filesystem::exists(files_.Settings));

    const int avi = IndexOf(list, "AVI Video (*.avi)");
    ASSERT_TRUE(list.SelectProfile(files_, avi));
    const IniFile settings(files_.Settings);
    EXPECT_EQ(settings.ReadString("settings", "FormatCode", ""), "404");
    EXPECT_EQ(settings.ReadString("settings", "FormatName", ""), "AVI Video (*.avi)");
    EXPECT_EQ(list.BoxText(), "AVI Video (*.avi)");
    EXPECT_EQ(list.SelectedIndex(), avi);
    EXPECT_EQ(CurrentSection(files_), "formatInfo404");
}

TEST_F(ProfileListTest, PickingAProfileShowsItWithoutStoringIt) {
    IniFile(files_.Settings).WriteString("settings", "FormatName", "MPEG-4 Video (*.mp4)");
    IniFile(files_.Settings).WriteString("settings", "FormatCode", "402");
    ProfileList list;
    list.Build(files_);
    ASSERT_TRUE(list.ToggleGroup(IndexOf(list, "General Audio formates")));
    EXPECT_FALSE(list.PickProfile(IndexOf(list, "General Audio formates")));
    EXPECT_FALSE(list.PickProfile(-1));
    EXPECT_EQ(list.BoxText(), "MPEG-4 Video (*.mp4)");

    const int wav = IndexOf(list, "WAV - Waveform Audio (*.wav)");
    ASSERT_TRUE(list.PickProfile(wav));
    EXPECT_EQ(list.BoxText(), "WAV - Waveform Audio (*.wav)");
    EXPECT_EQ(list.SelectedIndex(), wav);
    EXPECT_EQ(CurrentFormatCode(files_), 402);
    EXPECT_EQ(CurrentFormatName(files_), "MPEG-4 Video (*.mp4)");
    // The picked line stays selected when a group above it opens.
    ASSERT_TRUE(list.ToggleGroup(IndexOf(list, "3GP Video")));
    EXPECT_EQ(list.SelectedIndex(), IndexOf(list, "WAV - Waveform Audio (*.wav)"));
}

TEST_F(ProfileListTest, CollapseStateIsSavedAndRebuilt) {
    ProfileList list;
    list.Build(files_);
    ASSERT_TRUE(list.ToggleGroup(IndexOf(list, "General Audio formates")));
    list.SaveState(files_);
    const IniFile settings(files_.Settings);
    EXPECT_EQ(settings.ReadString("lstformat", "5", ""), "0");
    EXPECT_EQ(settings.ReadString("lstformat", "0", ""), "1");

    settings.WriteString("settings", "FormatName", " WAV - Waveform Audio (*.wav) ");
    ProfileList rebuilt;
    rebuilt.Build(files_);
    EXPECT_EQ(rebuilt.Lines().size(), 13u);
    EXPECT_EQ(rebuilt.SelectedIndex(), IndexOf(rebuilt, "WAV - Waveform Audio (*.wav)"));
    EXPECT_EQ(rebuilt.Lines()[rebuilt.SelectedIndex()].Info.Code, 504);
}

TEST_F(ProfileListTest, AStoredNameThatMatchesNoLineLeavesNoSelection) {
    IniFile(files_.Settings).WriteString("settings", "FormatName", "Old profile");
    IniFile(files_.Settings).WriteString("lstformat", "1", "0");
    ProfileList list;
    list.Build(files_);
    EXPECT_EQ(list.BoxText(), "Old profile");
    EXPECT_EQ(list.SelectedIndex(), -1);
    EXPECT_EQ(list.Lines().size(), 9u);
}

TEST_F(ProfileListTest, CurrentProfileQueriesReadBothFiles) {
    WriteFile(files_.Catalogue, "[formatInfo200]\nFileExt=flv\n");
    WriteFile(files_.Settings, "[settings]\nFormatCode=200\n[formatInfo200]\nparaZoom=pan\n");
    EXPECT_EQ(CurrentExtension(files_), "flv");
    EXPECT_EQ(CurrentZoom(files_), "pan");
    EXPECT_EQ(ReadValueList(files_, 200, "VideoSize"), std::vector<std::string>{});
}

TEST(ProfileTable, HoldsTwentyFourCodesInGroupOrder) {
    const std::vector<int> codes = CatalogueCodes();
    const std::vector<int> expected = {1,   0,   100, 101, 102, 200, 300, 400, 401, 402, 403, 404,
                                       405, 406, 407, 408, 409, 500, 501, 502, 503, 504, 505, 506};
    EXPECT_EQ(codes, expected);
    EXPECT_EQ(ProfileText(5, 6), "AC-3 Audio Codec (*.ac3)");
    EXPECT_EQ(ProfileText(5, 7), "");
    EXPECT_EQ(ProfileText(6, 0), "");
    EXPECT_EQ(FormatSection(402), "formatInfo402");
}

}  // namespace
}  // namespace quillo::profiles
