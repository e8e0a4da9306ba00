// The preferences window opened from the main window's "Preference" button and driven
// through its controls: what it shows of the settings, the rules of its boxes, "&Default",
// "&Ok" and "&Cancel", "&Brows" and "&Open", and the work priority reaching the converter.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <string>

#include "converter/thread_priority.h"
#include "fixtures/fixture_path.h"
#include "gui/preference_window.h"
#include "window_test_support.h"

namespace quillo::gui::testing {
namespace {

namespace fs = std::filesystem;
using quillo::testing::FixturePath;
using quillo::testing::ReadFile;
using quillo::testing::WriteFile;

// The four boxes as a word: "FSBJ" with "." for each one that is off.
std::string Boxes(const QWidget& window) {
    std::string word;
    for (const auto& [name, letter] :
         {std::pair{"chkFullSize", 'F'}, std::pair{"chkSmallSize", 'S'}, std::pair{"chkBmp", 'B'},
          std::pair{"chkJpg", 'J'}}) {
        word += Control<QCheckBox>(window, name)->isChecked() ? letter : '.';
    }
    return word;
}

class PreferenceWindowTest : public WindowTest {
protected:
    PreferenceWindowTest() { fs::create_directories(Stored()); }

    // A writable folder stored as the snapshot folder by StoreSettings.
    fs::path Stored() const { return *this / "stored"; }
    static fs::path DefaultFolder() {
        return fs::path(qEnvironmentVariable("HOME").toStdString()) / "korvana";
    }
    std::string SettingsText() const { return ReadFile(Settings().Path()); }

    void StoreSettings(const std::string& folder, int full, int small, int bmp, int jpg,
                       int quality, int priority) const {
        const profiles::IniFile settings = Settings();
        settings.WriteString("settings", "SnapOutPutDir", folder);
        settings.WriteInteger("settings", "snapFullSize", full);
        settings.WriteInteger("settings", "snapSmallSize", small);
        settings.WriteInteger("settings", "snapBmp", bmp);
        settings.WriteInteger("settings", "snapJpg", jpg);
        settings.WriteInteger("settings", "jpgCmp", quality);
        settings.WriteInteger("settings", "priority", priority);
    }
    int StoredValue(const char* key) const { return Settings().ReadInteger("settings", key, -100); }
    std::string StoredFolder() const {
        return Settings().ReadString("settings", "SnapOutPutDir", "");
    }

    // Clicks "Preference" and runs steps while the window is open; the window is cancelled
    // afterwards if the steps left it open.
    static void WithPreferences(MainWindow& window,
                                const std::function<void(PreferenceWindow&)>& steps) {
        bool ran = false;
        QTimer::singleShot(0, &window, [&] {
            auto* preferences = qobject_cast<PreferenceWindow*>(QApplication::activeModalWidget());
            if (preferences == nullptr) {
                ADD_FAILURE() << "the preferences window is not the modal window";
                return;
            }
            ran = true;
            steps(*preferences);
            if (preferences->isVisible()) {
                preferences->reject();
            }
        });
        Click(window, "btnPreference");
        EXPECT_TRUE(ran);
    }

    static QString FolderBox(const QWidget& window) {
        return Control<QLineEdit>(window, "edtSnapshotFolder")->text();
    }
    static int Quality(const QWidget& window) {
        const int box = Control<QSpinBox>(window, "spnQuality")->value();
        EXPECT_EQ(Control<QSlider>(window, "trcQuality")->value(), box);
        return box;
    }
    static bool QualityEnabled(const QWidget& window) {
        const bool box = Control<QSpinBox>(window, "spnQuality")->isEnabled();
        EXPECT_EQ(Control<QSlider>(window, "trcQuality")->isEnabled(), box);
        return box;
    }
    static int Priority(const QWidget& window) {
        return Control<QComboBox>(window, "cmbPriority")->currentIndex();
    }
};

TEST_F(PreferenceWindowTest, ItShowsTheStoredValuesEachTimeAndCancelStoresNothing) {
    const auto window = MakeWindow();
    const struct {
        const char* name;
        int full, small, bmp, jpg, quality, priority;
        std::string boxes;
        int shownQuality;
        int shownPriority;
    } cases[] = {
        {"as stored", 1, 0, 0, 1, 55, 3, "F..J", 55, 3},
        {"quality below 1, priority past the list", 0, 1, 1, 0, 0, 7, ".SB.", 1, 1},
        {"quality above 100, a negative priority", 1, 1, 1, 1, 250, -1, "FSBJ", 100, 1},
        {"idle", 0, 1, 0, 1, 100, 0, ".S.J", 100, 0},
    };
    const PreferenceWindow* first = nullptr;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StoreSettings(Stored().string(), c.full, c.small, c.bmp, c.jpg, c.quality, c.priority);
        const std::string before = SettingsText();
        WithPreferences(*window, [&](PreferenceWindow& preferences) {
            // Made once and kept.
            if (first == nullptr) {
                first = &preferences;
            }
            EXPECT_EQ(&preferences, first);
            EXPECT_EQ(preferences.windowTitle(), QStringLiteral("Preference"));
            EXPECT_EQ(preferences.size(), QSize(480, 390));
            EXPECT_EQ(FolderBox(preferences), Q(Stored()));
            EXPECT_TRUE(Control<QLineEdit>(preferences, "edtSnapshotFolder")->isReadOnly());
            EXPECT_EQ(Boxes(preferences), c.boxes);
            EXPECT_EQ(Quality(preferences), c.shownQuality);
            EXPECT_EQ(QualityEnabled(preferences), c.jpg == 1);
            EXPECT_EQ(Priority(preferences), c.shownPriority);
            Click(preferences, "btnCancel");
            EXPECT_FALSE(preferences.isVisible());
        });
        EXPECT_EQ(SettingsText(), before);
    }
    // The priorities in the order of the stored values.
    WithPreferences(*window, [&](PreferenceWindow& preferences) {
        auto* priority = Control<QComboBox>(preferences, "cmbPriority");
        ASSERT_EQ(priority->count(), 4);
        EXPECT_EQ(priority->itemText(0), QStringLiteral("Idle"));
        EXPECT_EQ(priority->itemText(1), QStringLiteral("Normal"));
        EXPECT_EQ(priority->itemText(2), QStringLiteral("Lower"));
        EXPECT_EQ(priority->itemText(3), QStringLiteral("Lowest"));
    });
    EXPECT_TRUE(messages.empty());
}

TEST_F(PreferenceWindowTest, AStoredFolderIsMadeOrReplacedByTheDefaultFolderAtOnce) {
    const fs::path file = *this / "plain.txt";
    WriteFile(file, "not a folder");
    const struct {
        const char* name;
        fs::path stored;
        fs::path shown;
    } cases[] = {
        {"missing, made with its parents", *this / "new" / "deeper", *this / "new" / "deeper"},
        {"under a regular file", file / "snaps", DefaultFolder()},
        {"relative", "c:\\korvana", DefaultFolder()},
    };
    const auto window = MakeWindow();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(DefaultFolder());
        Settings().WriteString("settings", "SnapOutPutDir", c.stored.string());
        WithPreferences(*window, [&](PreferenceWindow& preferences) {
            EXPECT_EQ(FolderBox(preferences), Q(c.shown));
            Click(preferences, "btnCancel");
        });
        EXPECT_TRUE(fs::is_directory(c.shown));
        EXPECT_EQ(StoredFolder(), c.shown.string());
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(PreferenceWindowTest, OneSizeAndOneFormatStayCheckedAndJpgEnablesTheQuality) {
    const auto window = MakeWindow();
    StoreSettings(Stored().string(), 1, 1, 1, 1, 30, 1);
    const std::string before = SettingsText();
    WithPreferences(*window, [&](PreferenceWindow& preferences) {
        const struct {
            const char* click;
            std::string boxes;  // afterwards
        } steps[] = {
            {"chkFullSize", ".SBJ"},  {"chkSmallSize", ".SBJ"}, {"chkFullSize", "FSBJ"},
            {"chkSmallSize", "F.BJ"}, {"chkFullSize", "F.BJ"},  {"chkJpg", "F.B."},
            {"chkBmp", "F.B."},       {"chkJpg", "F.BJ"},       {"chkBmp", "F..J"},
            {"chkJpg", "F..J"},       {"chkSmallSize", "FS.J"}, {"chkBmp", "FSBJ"},
        };
        for (const auto& step : steps) {
            SCOPED_TRACE(step.click);
            Click(preferences, step.click);
            EXPECT_EQ(Boxes(preferences), step.boxes);
            EXPECT_EQ(QualityEnabled(preferences), step.boxes[3] == 'J');
        }
        // The bar and the box follow each other.
        Control<QSpinBox>(preferences, "spnQuality")->setValue(70);
        EXPECT_EQ(Quality(preferences), 70);
        Control<QSlider>(preferences, "trcQuality")->setValue(5);
        EXPECT_EQ(Quality(preferences), 5);
        Click(preferences, "btnCancel");
    });
    EXPECT_EQ(SettingsText(), before);
}

TEST_F(PreferenceWindowTest, DefaultFillsTheControlsAndOkStoresThem) {
    const auto window = MakeWindow();
    StoreSettings(Stored().string(), 0, 1, 0, 1, 55, 3);
    const std::string before = SettingsText();
    WithPreferences(*window, [&](PreferenceWindow& preferences) {
        Click(preferences, "btnDefault");
        EXPECT_EQ(FolderBox(preferences), Q(DefaultFolder()));
        EXPECT_EQ(Boxes(preferences), "F.B.");
        EXPECT_EQ(Quality(preferences), 20);
        EXPECT_FALSE(QualityEnabled(preferences));
        EXPECT_EQ(Priority(preferences), 1);
        // Nothing is stored before Ok.
        EXPECT_EQ(SettingsText(), before);
        Click(preferences, "btnOk");
        EXPECT_FALSE(preferences.isVisible());
        EXPECT_EQ(preferences.result(), QDialog::Accepted);
    });
    EXPECT_EQ(StoredFolder(), DefaultFolder().string());
    EXPECT_EQ(StoredValue("snapFullSize"), 1);
    EXPECT_EQ(StoredValue("snapSmallSize"), 0);
    EXPECT_EQ(StoredValue("snapBmp"), 1);
    EXPECT_EQ(StoredValue("snapJpg"), 0);
    EXPECT_EQ(StoredValue("jpgCmp"), 20);
    EXPECT_EQ(StoredValue("priority"), 1);
}

TEST_F(PreferenceWindowTest, OkStoresWhatTheControlsShowAndTheFrameCloseStoresNothing) {
    const auto window = MakeWindow();
    StoreSettings(Stored().string(), 1, 1, 1, 1, 30, 1);
    const auto change = [](PreferenceWindow& preferences) {
        Click(preferences, "chkFullSize");
        Click(preferences, "chkBmp");
        Control<QSpinBox>(preferences, "spnQuality")->setValue(64);
        Control<QComboBox>(preferences, "cmbPriority")->setCurrentIndex(2);
    };
    const std::string before = SettingsText();
    WithPreferences(*window, [&](PreferenceWindow& preferences) {
        change(preferences);
        preferences.close();  // as the frame's close button does
        EXPECT_FALSE(preferences.isVisible());
    });
    EXPECT_EQ(SettingsText(), before);

    WithPreferences(*window, [&](PreferenceWindow& preferences) {
        // The controls show the settings again, not the last changes.
        EXPECT_EQ(Boxes(preferences), "FSBJ");
        EXPECT_EQ(Quality(preferences), 30);
        change(preferences);
        Click(preferences, "btnOk");
    });
    EXPECT_EQ(StoredFolder(), Stored().string());
    EXPECT_EQ(StoredValue("snapFullSize"), 0);
    EXPECT_EQ(StoredValue("snapSmallSize"), 1);
    EXPECT_EQ(StoredValue("snapBmp"), 0);
    EXPECT_EQ(StoredValue("snapJpg"), 1);
    EXPECT_EQ(StoredValue("jpgCmp"), 64);
    EXPECT_EQ(StoredValue("priority"), 2);
}

TEST_F(PreferenceWindowTest, BrowsStoresAWritableFolderAndRefusesOthers) {
    const auto window = MakeWindow();
    const fs::path chosen = *this / "chosen";
    fs::create_directories(chosen);
    const fs::path file = *this / "plain.txt";
    WriteFile(file, "not a folder");
    const fs::path unwritable = file / "pictures";
    const QString user = QString::fromStdString(app::GlobalObject::UserName()).trimmed();
    const struct {
        const char* name;
        QString choice;
        std::vector<MessageRequest> expected;
        fs::path stored;  // the stored folder and the box's text afterwards
    } cases[] = {
        {"cancelled", QString(), {}, Stored()},
        {"the folder shown", Q(Stored()), {}, Stored()},
        {"too short",
         QStringLiteral("/ab"),
         {{MessageIcon::Warning, "Warning", "The path /ab is not a valid directory."}},
         Stored()},
        {"no permission",
         Q(unwritable),
         {{MessageIcon::Warning, "Warning",
           "You login as " + user +
               " .You don't have permission to write to directory:" + Q(unwritable)}},
         DefaultFolder()},
        {"writable", Q(chosen), {}, chosen},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        messages.clear();
        folderRequests.clear();
        chosenFolders = {c.choice};
        Settings().WriteString("settings", "SnapOutPutDir", Stored().string());
        WithPreferences(*window, [&](PreferenceWindow& preferences) {
            Click(preferences, "btnBrowse");
            ASSERT_EQ(folderRequests.size(), 1u);
            EXPECT_EQ(folderRequests[0].caption, QStringLiteral("Select the snapshot folder"));
            EXPECT_EQ(folderRequests[0].folder, Q(Stored()));
            EXPECT_EQ(FolderBox(preferences), Q(c.stored));
            // Stored at once, before Ok.
            EXPECT_EQ(StoredFolder(), c.stored.string());
            Click(preferences, "btnCancel");
        });
        ASSERT_EQ(messages.size(), c.expected.size());
        for (std::size_t index = 0; index < messages.size(); ++index) {
            EXPECT_EQ(messages[index].Icon, c.expected[index].Icon);
            EXPECT_EQ(messages[index].Caption, c.expected[index].Caption);
            EXPECT_EQ(messages[index].Text, c.expected[index].Text);
        }
        EXPECT_EQ(StoredFolder(), c.stored.string());
    }
}

TEST_F(PreferenceWindowTest, OpenShowsTheStoredFolder) {
    const auto window = MakeWindow();
    Settings().WriteString("settings", "SnapOutPutDir", Stored().string());
    WithPreferences(*window, [&](PreferenceWindow& preferences) {
        Click(preferences, "btnOpen");
        EXPECT_TRUE(preferences.isVisible());
    });
    EXPECT_EQ(system_.openedFolders, std::vector<fs::path>{Stored()});
    EXPECT_TRUE(messages.empty());
}

TEST_F(PreferenceWindowTest, TheChosenPriorityReachesTheConverterAtTheNextBatch) {
    const auto window = MakeWindow();
    window->AddFiles({Q(FixturePath("clip.mp4"))});
    ASSERT_EQ(window->Converter().ThreadPriority(), converter::ThreadPriority::tpNormal);
    const struct {
        int index;
        converter::ThreadPriority priority;
    } cases[] = {
        {3, converter::ThreadPriority::tpLowest},
        {0, converter::ThreadPriority::tpIdle},
        {2, converter::ThreadPriority::tpLower},
        {1, converter::ThreadPriority::tpNormal},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        const converter::ThreadPriority before = window->Converter().ThreadPriority();
        WithPreferences(*window, [&](PreferenceWindow& preferences) {
            Control<QComboBox>(preferences, "cmbPriority")->setCurrentIndex(c.index);
            Click(preferences, "btnOk");
        });
        // Stored only: the converter hears of it when the batch starts.
        EXPECT_EQ(window->Converter().ThreadPriority(), before);
        Click(*window, "btnStart");
        EXPECT_FALSE(window->Batch().Running());
        EXPECT_EQ(window->Converter().ThreadPriority(), c.priority);
    }
}

}  // namespace
}  // namespace quillo::gui::testing
