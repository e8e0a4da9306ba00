#include <gtest/gtest.h>
#include <sys/stat.h>

#include "media/media_error.h"
#include "profiles/ini_file.h"
#include "profiles/test_support.h"

namespace quillo::profiles {
namespace {

using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

TEST(IniFile, MissingFileSectionOrKeyGivesTheDefault) {
    TempFolder folder;
    const IniFile missing(folder / "none.ini");
    EXPECT_EQ(missing.ReadString("settings", "OutPutDir", "dflt"), "dflt");
    EXPECT_EQ(missing.ReadInteger("settings", "FormatCode", 1), 1);
    EXPECT_TRUE(missing.ReadBool("lstformat", "0", true));
    EXPECT_FALSE(missing.SectionExists("settings"));

    WriteFile(folder / "a.ini", "[settings]\nvolume=5\n");
    const IniFile file(folder / "a.ini");
    EXPECT_EQ(file.ReadString("other", "volume", "x"), "x");
    EXPECT_EQ(file.ReadString("settings", "mute", "x"), "x");
    EXPECT_TRUE(file.SectionExists("SETTINGS"));
}

TEST(IniFile, ReadsEveryLineEndingStyle) {
    struct Case {
        const char* name;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"LF", "[a]\nk=1\n[b]\nk=2\n"},
        {"CRLF", "[a]\r\nk=1\r\n[b]\r\nk=2\r\n"},
        {"BOM", "\xEF\xBB\xBF[a]\r\nk=1\r\n[b]\r\nk=2\r\n"},
        {"no final line end", "[a]\nk=1\n[b]\nk=2"},
        {"blanks and comments", "; top\n\n [ a ] \n; k=9\n  k  =  1  \n\n[b]\nk=2"},
    };
    TempFolder folder;
    for (const Case& c : cases) {
        WriteFile(folder / "f.ini", c.text);
        const IniFile file(folder / "f.ini");
        EXPECT_EQ(file.ReadString("a", "k", "-"), "1") << c.name;
        EXPECT_EQ(file.ReadString("b", "k", "-"), "2") << c.name;
    }
}

TEST(IniFile, NamesCompareWithoutCaseAndTheFirstOccurrenceCounts) {
    TempFolder folder;
    WriteFile(folder / "f.ini",
              "[formatInfo1]\nparaZoom=pan\nPARAZOOM=full\n[FORMATINFO1]\nparazoom=center\n");
    const IniFile file(folder / "f.ini");
    EXPECT_EQ(file.ReadString("formatinfo1", "parazoom", "lbox"), "pan");
}

TEST(IniFile, ValuesAreTrimmedAndLoseEnclosingQuotes) {
    TempFolder folder;
    WriteFile(folder / "f.ini", "[s]\na=  as source  \nb=\"quoted\"\nc='x'\nd=\"half\ne=\nf=x=y\n");
    const IniFile file(folder / "f.ini");
    EXPECT_EQ(file.ReadString("s", "a", ""), "as source");
    EXPECT_EQ(file.ReadString("s", "b", ""), "quoted");
    EXPECT_EQ(file.ReadString("s", "c", ""), "x");
    EXPECT_EQ(file.ReadString("s", "d", ""), "\"half");
    EXPECT_EQ(file.ReadString("s", "e", "dflt"), "");
    EXPECT_EQ(file.ReadString("s", "f", ""), "x=y");
}

TEST(IniFile, IntegersAndBooleansFallBackOnMalformedValues) {
    TempFolder folder;
    WriteFile(folder / "f.ini", "[s]\nv=200\nw=12x\nt=1\nf=0\nj=yes\n");
    const IniFile file(folder / "f.ini");
    EXPECT_EQ(file.ReadInteger("s", "v", 64), 200);
    EXPECT_EQ(file.ReadInteger("s", "w", 64), 64);
    EXPECT_TRUE(file.ReadBool("s", "t", false));
    EXPECT_FALSE(file.ReadBool("s", "f", true));
    EXPECT_TRUE(file.ReadBool("s", "j", true));
    EXPECT_FALSE(file.ReadBool("s", "j", false));
}

TEST(IniFile, WritesChangeOnlyTheirLineAndKeepTheFileStyle) {
    struct Case {
        const char* name;
        std::string before;
        const char* section;
        const char* key;
        std::string after;
    };
    const std::vector<Case> cases = {
        {"replace", "; c\n[a]\nk=1\n\n[b]\nk=2\n", "B", "K", "; c\n[a]\nk=1\n\n[b]\nk=v\n"},
        {"new key goes after the section's last line", "[a]\nk=1\n\n[b]\nk=2\n", "a", "n",
         "[a]\nk=1\nn=v\n\n[b]\nk=2\n"},
        {"new section at the end", "[a]\nk=1\n", "z", "n", "[a]\nk=1\n[z]\nn=v\n"},
        {"CRLF and BOM kept", "\xEF\xBB\xBF[a]\r\nk=1\r\n", "a", "k", "\xEF\xBB\xBF[a]\r\nk=v\r\n"},
        {"no final line end kept", "[a]\nk=1", "a", "m", "[a]\nk=1\nm=v"},
        {"empty file", "", "a", "k", "[a]\nk=v\n"},
    };
    TempFolder folder;
    for (const Case& c : cases) {
        WriteFile(folder / "f.ini", c.before);
        IniFile(folder / "f.ini").WriteString(c.section, c.key, "v");
        EXPECT_EQ(ReadFile(folder / "f.ini"), c.after) << c.name;
    }
}

TEST(IniFile, WritingCreatesAMissingFileAndEveryReadSeesTheFileOfThatMoment) {
    TempFolder folder;
    const IniFile writer(folder / "new.ini");
    const IniFile reader(folder / "new.ini");
    writer.WriteInteger("settings", "FormatCode", 404);
    writer.WriteBool("lstformat", "4", false);
    EXPECT_EQ(reader.ReadInteger("settings", "FormatCode", 1), 404);
    EXPECT_FALSE(reader.ReadBool("lstformat", "4", true));
    WriteFile(folder / "new.ini", "[settings]\nFormatCode=500\n");
    EXPECT_EQ(reader.ReadInteger("settings", "FormatCode", 1), 500);
}

TEST(IniFile, RefusedWritesSayWhyAndLeaveTheFileAsItWas) {
    TempFolder folder;
    const std::string before = "[a]\nk=1\n";
    WriteFile(folder / "f.ini", before);
    const IniFile file(folder / "f.ini");
    EXPECT_THROW(file.WriteString("a", "k", "two\nlines"), media::MediaError);
    EXPECT_THROW(file.WriteString("a", "x=y", "v"), media::MediaError);
    EXPECT_THROW(file.WriteString("a]", "k", "v"), media::MediaError);
    EXPECT_EQ(ReadFile(folder / "f.ini"), before);

    WriteFile(folder / "plain", "not a folder");
    try {
        IniFile(folder / "plain" / "f.ini").WriteString("a", "k", "v");
        FAIL() << "no error";
    } catch (const media::MediaError& error) {
        EXPECT_EQ(std::string(error.what())
                      .rfind("Unable to write to " + (folder / "plain" / "f.ini").string(), 0),
                  0u)
            << error.what();
    }
}

TEST(IniFile, WritesGoThroughALinkAndKeepThePermissions) {
    TempFolder folder;
    WriteFile(folder / "real.ini", "[a]\nk=1\n");
    chmod((folder / "real.ini").c_str(), 0640);
    std::filesystem::create_symlink(folder / "real.ini", folder / "link.ini");
    IniFile(folder / "link.ini").WriteString("a", "k", "2");
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.ini"));
    EXPECT_EQ(ReadFile(folder / "real.ini"), "[a]\nk=2\n");
    struct stat info {};
    ASSERT_EQ(stat((folder / "real.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    // Nothing but the two names is left behind by the temporary file.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                            std::filesystem::directory_iterator()),
              2);
}

TEST(IniFile, CreatingNeverReplacesAnExistingFile) {
    TempFolder folder;
    EXPECT_EQ(CreateFileAtomically(folder / "f.ini", "new"), "");
    EXPECT_EQ(CreateFileAtomically(folder / "f.ini", "other"), "exists");
    EXPECT_EQ(ReadFile(folder / "f.ini"), "new");
}

}  // namespace
}  // namespace quillo::profiles
