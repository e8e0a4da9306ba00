// The profile settings editor through its controls, opened from the main window's Settings
// button: the lists and stored choices it shows, the typing filters and the checks of typed
// values, what "&Ok" stores (and that a refusal or "&Cancel" stores nothing), its own profile
// list, "&Default", and a batch that converts with the stored choices.

#include <QAbstractItemView>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QTreeView>
#include <filesystem>
#include <functional>
#include <string>

#include "editor_test_support.h"
#include "fixtures/external_commands.h"
#include "fixtures/fixture_path.h"
#include "gui/choice_line_delegate.h"
#include "gui/profile_box.h"
#include "gui/settings_window.h"
#include "gui/skin.h"
#include "media/value_text.h"

namespace quillo::gui::testing {
namespace {

namespace fs = std::filesystem;
using quillo::testing::FixturePath;

constexpr const char* BoxNames[] = {
    "cmbVideoSize",  "cmbVideoEncoder", "cmbVideoBitRate", "cmbFrameRate",    "cmbZoom",
    "cmbSamplerate", "cmbAudioEncoder", "cmbChannel",      "cmbAudioBitRate", "cmbVolume"};

QStringList Items(const QComboBox& box) {
    QStringList items;
    for (int i = 0; i < box.count(); ++i) {
        items.push_back(box.itemText(i));
    }
    return items;
}

QString Shown(const QDialog& settings, const char* name) {
    const auto* box = Control<QComboBox>(settings, name);
    return box != nullptr ? box->currentText() : QString();
}

// Picks an item from the box's open list with the mouse.
void Choose(QComboBox& box, const QString& text) {
    const int index = box.findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    ASSERT_GE(index, 0) << "no item " << text.toStdString();
    box.showPopup();
    QAbstractItemView* list = box.view();
    ASSERT_TRUE(QTest::qWaitFor([list] { return list->isVisible(); }));
    const QRect item = list->visualRect(list->model()->index(index, 0));
    ASSERT_TRUE(item.isValid());
    list->scrollTo(list->model()->index(index, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(index, 0)).center());
    ASSERT_TRUE(QTest::qWaitFor([list] { return !list->isVisible(); }));
    EXPECT_EQ(box.currentText(), text);
}

void Choose(const QDialog& settings, const char* name, const char* text) {
    if (auto* box = Control<QComboBox>(settings, name)) {
        Choose(*box, QString::fromLatin1(text));
    }
}

// Gives the box the focus with its text selected, so that what is typed replaces it.
void Enter(QComboBox& box) {
    // A list that has just closed may have left its window inactive.
    box.window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(box.window()));
    box.setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([&box] { return box.hasFocus(); }));
    box.lineEdit()->selectAll();
}

void Type(QComboBox& box, const QString& keys) {
    Enter(box);
    QTest::keyClicks(&box, keys);
}

// Pastes over the box's text, which the typing filter never sees.
void Paste(QComboBox& box, const QString& text) {
    Enter(box);
    QGuiApplication::clipboard()->setText(text);
    QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(box.currentText(), text);
}

// Tabs out of the box and lets its check run.
void Leave(QComboBox& box) {
    QTest::keyClick(&box, Qt::Key_Tab);
    ASSERT_TRUE(QTest::qWaitFor([&box] { return !box.hasFocus(); }));
    QCoreApplication::processEvents();
}

class SettingsWindowGuiTest : public EditorWindowTest {
protected:
    fs::path SettingsPath() const { return Settings().Path(); }
    profiles::IniFile Catalogue() const {
        return profiles::IniFile(app::GlobalObject(SettingsPath().parent_path()).CatalogueFile());
    }
    std::string Stored(int code, const char* key) const {
        return Settings().ReadString("formatInfo" + std::to_string(code), key, "<none>");
    }
    void UseProfile(int code, const char* name) {
        Settings().WriteString("settings", "FormatCode", std::to_string(code));
        Settings().WriteString("settings", "FormatName", name);
    }

    // Opens the editor from the Settings button and acts on it while it is open.
    void WithSettings(MainWindow& window, const std::function<void(QDialog&)>& act) {
        bool opened = false;
        WhenModalOpens([&](QDialog& settings) {
            opened = true;
            EXPECT_EQ(settings.objectName(), QStringLiteral("SettingsWindow"));
            ASSERT_TRUE(QTest::qWaitForWindowActive(&settings));
            act(settings);
        });
        Click(window, "btnSettings");
        EXPECT_TRUE(opened);
    }

    // The settings file as the editor finds it: the main window stores its list's groups
    // before it opens the editor.
    std::string SettingsText(MainWindow& window) const {
        window.Profiles().SaveState();
        return quillo::testing::ReadFile(SettingsPath());
    }
};

TEST_F(SettingsWindowGuiTest, TheBoxesShowTheCataloguesListsAndTheStoredChoices) {
    // A typed bit rate is kept apart from the list's choices.
    Settings().WriteString("formatInfo1", "iVideoBitRate", "-1");
    Settings().WriteString("formatInfo1", "paraVideoBitRate", "999");
    const auto window = MakeWindow();
    WithSettings(*window, [this](QDialog& settings) {
        EXPECT_EQ(settings.windowTitle(), QStringLiteral("Settings"));
        EXPECT_TRUE(settings.isModal());
        EXPECT_GE(settings.width(), 475);
        EXPECT_GE(settings.height(), 370);
        EXPECT_EQ(Control<ProfileBox>(settings, "cmbProfile")->Text(),
                  QStringLiteral("Apple iPod Video MPEG-4 Movie (*.mp4)"));
        const struct {
            const char* box;
            const char* list;
            bool editable;
            const char* shown;
        } expected[] = {{"cmbVideoSize", "VideoSize", true, "320x240"},
                        {"cmbVideoEncoder", "VideoEncoder", false, "mpeg-4"},
                        {"cmbVideoBitRate", "VideoBitRate", true, "999"},
                        {"cmbFrameRate", "FrameRate", true, "29.97"},
                        {"cmbSamplerate", "SampleRate", true, "44100"},
                        {"cmbAudioEncoder", "AudioEncoder", false, "aac"},
                        {"cmbChannel", "Channel", false, "stereo 2 channels"},
                        {"cmbAudioBitRate", "AudioBitRate", true, "128"},
                        {"cmbVolume", "Volume", false, "100%"}};
        for (const auto& entry : expected) {
            SCOPED_TRACE(entry.box);
            auto* box = Control<QComboBox>(settings, entry.box);
            ASSERT_NE(box, nullptr);
            const QStringList list =
                QString::fromStdString(Catalogue().ReadString("formatInfo1", entry.list, ""))
                    .split(QLatin1Char(','));
            EXPECT_EQ(Items(*box), list);
            EXPECT_TRUE(box->isEnabled());
            EXPECT_EQ(box->isEditable(), entry.editable);
            EXPECT_EQ(box->currentText(), QString::fromLatin1(entry.shown));
            EXPECT_GE(box->maxVisibleItems(), box->count());
            EXPECT_NE(qobject_cast<ChoiceLineDelegate*>(box->itemDelegate()), nullptr);
        }
        auto* zoom = Control<QComboBox>(settings, "cmbZoom");
        EXPECT_EQ(Items(*zoom), (QStringList{"Full screen", "Letterbox", "Pan and Scan"}));
        EXPECT_FALSE(zoom->isEditable());
        EXPECT_EQ(zoom->currentText(), QStringLiteral("Letterbox"));
    });
    EXPECT_TRUE(messages.empty());
}

TEST_F(SettingsWindowGuiTest, AnAudioProfileLeavesTheVideoBoxesAndItsMissingBitRateAlone) {
    UseProfile(504, "WAV - Waveform Audio (*.wav)");
    const auto window = MakeWindow();
    WithSettings(*window, [](QDialog& settings) {
        for (const char* name : {"cmbVideoSize", "cmbVideoEncoder", "cmbVideoBitRate",
                                 "cmbFrameRate", "cmbZoom", "cmbAudioBitRate"}) {
            EXPECT_FALSE(Control<QComboBox>(settings, name)->isEnabled()) << name;
        }
        for (const char* name : {"cmbSamplerate", "cmbAudioEncoder", "cmbChannel", "cmbVolume"}) {
            EXPECT_TRUE(Control<QComboBox>(settings, name)->isEnabled()) << name;
        }
        // They show what is really stored for them, not the defaults of a video profile.
        for (const char* name : {"cmbVideoSize", "cmbVideoBitRate", "cmbFrameRate", "cmbZoom"}) {
            EXPECT_EQ(Shown(settings, name), QString()) << name;
        }
        EXPECT_EQ(Shown(settings, "cmbAudioBitRate"), QStringLiteral("as source"));
        EXPECT_EQ(Shown(settings, "cmbSamplerate"), QStringLiteral("44100"));
        EXPECT_EQ(Shown(settings, "cmbAudioEncoder"), QStringLiteral("pcm_s16"));
        Choose(settings, "cmbSamplerate", "22050");
        Click(settings, "btnOk");
        EXPECT_FALSE(settings.isVisible());
    });
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(Stored(504, "paraSampleRate"), "22050");
    EXPECT_EQ(Stored(504, "iSampleRate"), "3");
    EXPECT_EQ(Stored(504, "paraAudioEncoder"), "pcm_s16le");
    // Nothing is stored for boxes that offer no choice.
    EXPECT_EQ(Stored(504, "paraAudioBitRate"), "as source");
    for (const char* key :
         {"paraVideoSize", "paraVideoEncoder", "paraVideoBitRate", "paraFrameRate", "paraZoom"}) {
        EXPECT_EQ(Stored(504, key), "<none>") << key;
    }
}

TEST_F(SettingsWindowGuiTest, AnOddFrameSizeIsCorrectedDownToEvenWhenTheBoxIsLeft) {
    const struct {
        const char* typed;
        const char* corrected;
    } cases[] = {{"721x481", "720x480"}, {"0x0", "2x2"}, {"1x479", "2x478"}};
    const auto window = MakeWindow();
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.typed);
        messages.clear();
        WithSettings(*window, [&](QDialog& settings) {
            auto* size = Control<QComboBox>(settings, "cmbVideoSize");
            ASSERT_NE(size, nullptr);
            Type(*size, QString::fromLatin1(entry.typed));
            ASSERT_EQ(size->currentText(), QString::fromLatin1(entry.typed));
            EXPECT_TRUE(messages.empty());
            Leave(*size);
            ASSERT_TRUE(QTest::qWaitFor([this] { return !messages.empty(); }));
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].Caption, QStringLiteral("Input Error!"));
            EXPECT_EQ(messages[0].Text,
                      QStringLiteral("Frame Size must be a multiple of 2.\nThe correct value:") +
                          QString::fromLatin1(entry.corrected));
            EXPECT_EQ(size->currentText(), QString::fromLatin1(entry.corrected));
            Click(settings, "btnOk");
            EXPECT_FALSE(settings.isVisible());
        });
        EXPECT_EQ(messages.size(), 1u);
        EXPECT_EQ(Stored(1, "paraVideoSize"), entry.corrected);
        EXPECT_EQ(Stored(1, "iVideoSize"), "-1");
    }
}

TEST_F(SettingsWindowGuiTest, PastedValuesThatCannotBeUsedAreRefusedWhenTheBoxIsLeft) {
    const struct {
        const char* box;
        const char* pasted;
        const char* message;  // nullptr: the value passes
        const char* shown;    // the box afterwards
    } cases[] = {
        {"cmbVideoSize", "abc", "Frame Size is not a valid value!", "640x480"},
        {"cmbVideoSize", "720480", "Frame Size is not a valid value!", "640x480"},
        {"cmbVideoSize", "9000x480", "Frame Size is not a valid value!", "640x480"},
        {"cmbVideoSize", "As Source", nullptr, "as source"},
        {"cmbVideoSize", "1280x720", nullptr, "1280x720"},
        {"cmbVideoBitRate", "12k", "Video BitRate is not a valid value!", "256"},
        {"cmbVideoBitRate", "0", "Video BitRate is not a valid value!", "256"},
        {"cmbVideoBitRate", "-300", "Video BitRate is not a valid value!", "256"},
        {"cmbVideoBitRate", "AS SOURCE", nullptr, "as source"},
        {"cmbFrameRate", "fast", "Video FrameRate is not a valid value!", "15"},
        {"cmbFrameRate", "12.5", nullptr, "12.5"},
        {"cmbSamplerate", "44.1", "Audio SampleRate is not a valid value!", "22050"},
        {"cmbSamplerate", "-8000", "Audio SampleRate is not a valid value!", "22050"},
        {"cmbSamplerate", "0", "Audio SampleRate is not a valid value!", "22050"},
        {"cmbAudioBitRate", "1.2.8", "Audio BitRate is not a valid value!", "64"},
        {"cmbAudioBitRate", "0", "Audio BitRate is not a valid value!", "64"},
        {"cmbAudioBitRate", "96.5", nullptr, "96.5"},
    };
    const auto window = MakeWindow();
    WithSettings(*window, [&](QDialog& settings) {
        for (const auto& entry : cases) {
            SCOPED_TRACE(std::string(entry.box) + " " + entry.pasted);
            messages.clear();
            auto* box = Control<QComboBox>(settings, entry.box);
            ASSERT_NE(box, nullptr);
            Paste(*box, QString::fromLatin1(entry.pasted));
            Leave(*box);
            if (entry.message != nullptr) {
                ASSERT_TRUE(QTest::qWaitFor([this] { return !messages.empty(); }));
                ASSERT_EQ(messages.size(), 1u);
                EXPECT_EQ(messages[0].Icon, MessageIcon::Warning);
                EXPECT_EQ(messages[0].Caption, QStringLiteral("Warning"));
                EXPECT_EQ(messages[0].Text, QString::fromLatin1(entry.message));
            } else {
                EXPECT_TRUE(messages.empty());
            }
            EXPECT_EQ(box->currentText(), QString::fromLatin1(entry.shown));
        }
    });
}

TEST_F(SettingsWindowGuiTest, TypingTakesOnlyWhatTheBoxCanUse) {
    const struct {
        const char* box;
        const char* keys;
        const char* shown;
        int numericalMessages;
    } cases[] = {
        {"cmbVideoBitRate", "12a3", "123", 1}, {"cmbVideoBitRate", "as source", "as source", 0},
        {"cmbVideoBitRate", "5-5", "55", 1},   {"cmbSamplerate", "8k0#00", "8000", 2},
        {"cmbAudioBitRate", "9..5", "9.5", 1}, {"cmbVideoSize", "720x4x80", "720x480", 0},
        {"cmbVideoSize", "72o0", "720", 0},
    };
    const auto window = MakeWindow();
    WithSettings(*window, [&](QDialog& settings) {
        for (const auto& entry : cases) {
            SCOPED_TRACE(std::string(entry.box) + " " + entry.keys);
            messages.clear();
            auto* box = Control<QComboBox>(settings, entry.box);
            ASSERT_NE(box, nullptr);
            Type(*box, QString::fromLatin1(entry.keys));
            EXPECT_EQ(box->currentText(), QString::fromLatin1(entry.shown));
            ASSERT_EQ(static_cast<int>(messages.size()), entry.numericalMessages);
            for (const MessageRequest& message : messages) {
                EXPECT_EQ(message.Caption, QStringLiteral("Warning"));
                EXPECT_EQ(message.Text, QStringLiteral("Please enter numerical."));
            }
            // Editing keys pass.
            QTest::keyClick(box, Qt::Key_Backspace);
            EXPECT_EQ(box->currentText(), QString::fromLatin1(entry.shown).chopped(1));
        }
    });
}

TEST_F(SettingsWindowGuiTest, H264StoresLibx264WithTheCataloguesUsableExtras) {
    UseProfile(402, "MPEG-4 Video (*.mp4)");
    Catalogue().WriteString("formatInfo402", "paraBitExact", "True");
    Catalogue().WriteString("formatInfo402", "paraGop", "-5");
    Catalogue().WriteString("formatInfo402", "paraCoder", "0");
    const auto window = MakeWindow();
    WithSettings(*window, [](QDialog& settings) {
        EXPECT_EQ(Shown(settings, "cmbVideoEncoder"), QStringLiteral("mpeg-4"));
        Choose(settings, "cmbVideoEncoder", "h264");
        Click(settings, "btnOk");
    });
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(Stored(402, "paraVideoEncoder"), "libx264");
    EXPECT_EQ(Stored(402, "iVideoEncoder"), "1");
    const struct {
        const char* key;
        const char* value;
    } extras[] = {{"paraBitExact", "True"}, {"paraMaxBitrate", "4000"}, {"paraBufferSize", "8000"},
                  {"paraLevel", "31"},      {"paraQscale", "23"},       {"paraCoder", "0"},
                  {"paraGop", "<none>"}};
    for (const auto& extra : extras) {
        EXPECT_EQ(Stored(402, extra.key), extra.value) << extra.key;
    }

    // Back to MPEG-4: the encoder changes and nothing else is copied.
    Settings().WriteString("formatInfo402", "paraLevel", "13");
    WithSettings(*window, [](QDialog& settings) {
        EXPECT_EQ(Shown(settings, "cmbVideoEncoder"), QStringLiteral("h264"));
        Choose(settings, "cmbVideoEncoder", "mpeg-4");
        Click(settings, "btnOk");
    });
    EXPECT_EQ(Stored(402, "paraVideoEncoder"), "mpeg4");
    EXPECT_EQ(Stored(402, "paraLevel"), "13");
}

TEST_F(SettingsWindowGuiTest, EachZoomStoresItsKeyword) {
    const struct {
        const char* item;
        const char* keyword;
    } cases[] = {{"Pan and Scan", "pan"}, {"Full screen", "full"}, {"Letterbox", "lbox"}};
    const auto window = MakeWindow();
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.item);
        WithSettings(*window, [&](QDialog& settings) {
            Choose(settings, "cmbZoom", entry.item);
            Click(settings, "btnOk");
        });
        EXPECT_EQ(Stored(1, "paraZoom"), entry.keyword);
        // The next showing starts from what was stored.
        WithSettings(*window, [&](QDialog& settings) {
            EXPECT_EQ(Shown(settings, "cmbZoom"), QString::fromLatin1(entry.item));
        });
    }
    // A keyword the box does not offer shows the first zoom.
    Settings().WriteString("formatInfo1", "paraZoom", "center");
    WithSettings(*window, [](QDialog& settings) {
        EXPECT_EQ(Shown(settings, "cmbZoom"), QStringLiteral("Full screen"));
    });
}

TEST_F(SettingsWindowGuiTest, GsmStoresLibgsmAt8000HzMono) {
    Catalogue().WriteString("formatInfo1", "AudioEncoder", "aac,gsm");
    const auto window = MakeWindow();
    WithSettings(*window, [](QDialog& settings) {
        Choose(settings, "cmbAudioEncoder", "gsm");
        Choose(settings, "cmbChannel", "stereo 2 channels");
        Click(settings, "btnOk");
    });
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(Stored(1, "paraAudioEncoder"), "libgsm");
    EXPECT_EQ(Stored(1, "iAudioEncoder"), "1");
    EXPECT_EQ(Stored(1, "paraSampleRate"), "8000");
    EXPECT_EQ(Stored(1, "paraChannel"), "1");
    EXPECT_EQ(Stored(1, "iChannel"), "2");
}

TEST_F(SettingsWindowGuiTest, VolumeAndChannelItemsStoreTheirValues) {
    const struct {
        const char* volume;
        const char* volumeValue;
        const char* channel;
        const char* channelValue;
    } cases[] = {{"25%", "64", "mono 1 channel", "1"},
                 {"400%", "1024", "as source", "as source"},
                 {"100%", "256", "stereo 2 channels", "2"}};
    const auto window = MakeWindow();
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.volume);
        WithSettings(*window, [&](QDialog& settings) {
            Choose(settings, "cmbVolume", entry.volume);
            Choose(settings, "cmbChannel", entry.channel);
            Click(settings, "btnOk");
        });
        EXPECT_EQ(Stored(1, "paraVolume"), entry.volumeValue);
        EXPECT_EQ(Stored(1, "paraChannel"), entry.channelValue);
    }
    EXPECT_EQ(Stored(1, "iVolume"), "3");
    EXPECT_TRUE(messages.empty());
}

TEST_F(SettingsWindowGuiTest, AVolumeThatIsNoPercentageIsRefusedAndNothingIsStored) {
    Catalogue().WriteString("formatInfo1", "Volume", "loud,100%");
    const auto window = MakeWindow();
    const std::string before = SettingsText(*window);
    WithSettings(*window, [this](QDialog& settings) {
        Choose(settings, "cmbVideoSize", "640x480");
        Choose(settings, "cmbVolume", "loud");
        Click(settings, "btnOk");
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].Caption, QStringLiteral("Warning"));
        EXPECT_EQ(messages[0].Text,
                  QStringLiteral("The volume \"loud\" is not a percentage such as 100%."));
        EXPECT_TRUE(settings.isVisible());
    });
    EXPECT_TRUE(quillo::testing::ReadFile(SettingsPath()) == before) << "the settings file changed";
}

TEST_F(SettingsWindowGuiTest, OkChecksTypedValuesFirstAndStoresNothingWhileOneIsRefused) {
    const auto window = MakeWindow();
    const std::string before = SettingsText(*window);
    WithSettings(*window, [&](QDialog& settings) {
        Choose(settings, "cmbZoom", "Pan and Scan");
        auto* size = Control<QComboBox>(settings, "cmbVideoSize");
        ASSERT_NE(size, nullptr);
        Paste(*size, QStringLiteral("721x481"));
        // Alt+O presses Ok without leaving the box.
        QTest::keyClick(size, Qt::Key_O, Qt::AltModifier);
        ASSERT_TRUE(QTest::qWaitFor([this] { return !messages.empty(); }));
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].Caption, QStringLiteral("Input Error!"));
        EXPECT_TRUE(settings.isVisible());
        EXPECT_EQ(size->currentText(), QStringLiteral("720x480"));
        EXPECT_TRUE(quillo::testing::ReadFile(SettingsPath()) == before)
            << "the settings file changed";
        // The corrected value is stored with everything else by the next Ok.
        QTest::keyClick(size, Qt::Key_O, Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([&settings] { return !settings.isVisible(); }));
    });
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(Stored(1, "paraVideoSize"), "720x480");
    EXPECT_EQ(Stored(1, "paraZoom"), "pan");
}

TEST_F(SettingsWindowGuiTest, ATypedValueOutsideTheListIsKeptAsTypedAndShownAgain) {
    const auto window = MakeWindow();
    WithSettings(*window, [](QDialog& settings) {
        Type(*Control<QComboBox>(settings, "cmbVideoSize"), QStringLiteral("480x360"));
        Type(*Control<QComboBox>(settings, "cmbVideoBitRate"), QStringLiteral("900"));
        Type(*Control<QComboBox>(settings, "cmbFrameRate"), QStringLiteral("12.5"));
        // Typed in full, a value of the list is that item.
        Type(*Control<QComboBox>(settings, "cmbSamplerate"), QStringLiteral("32000"));
        Click(settings, "btnOk");
        EXPECT_FALSE(settings.isVisible());
    });
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(Stored(1, "paraVideoSize"), "480x360");
    EXPECT_EQ(Stored(1, "iVideoSize"), "-1");
    EXPECT_EQ(Stored(1, "paraVideoBitRate"), "900");
    EXPECT_EQ(Stored(1, "iVideoBitRate"), "-1");
    EXPECT_EQ(Stored(1, "paraFrameRate"), "12.5");
    EXPECT_EQ(Stored(1, "iFrameRate"), "-1");
    EXPECT_EQ(Stored(1, "paraSampleRate"), "32000");
    EXPECT_EQ(Stored(1, "iSampleRate"), "2");
    EXPECT_EQ(Stored(1, "Description"), "Apple iPod Video MPEG-4 Movie (*.mp4)");

    WithSettings(*window, [](QDialog& settings) {
        EXPECT_EQ(Shown(settings, "cmbVideoSize"), QStringLiteral("480x360"));
        EXPECT_EQ(Shown(settings, "cmbVideoBitRate"), QStringLiteral("900"));
        EXPECT_EQ(Shown(settings, "cmbFrameRate"), QStringLiteral("12.5"));
        EXPECT_EQ(Control<QComboBox>(settings, "cmbVideoSize")->currentIndex(), -1);
        EXPECT_EQ(Shown(settings, "cmbSamplerate"), QStringLiteral("32000"));
    });
}

// Opens the editor's own profile list and picks the profile with the mouse.
void PickProfile(QDialog& settings, const char* group, const char* profile) {
    auto* box = Control<ProfileBox>(settings, "cmbProfile");
    ASSERT_NE(box, nullptr);
    QTest::mouseClick(Control<QWidget>(settings, "btnProfileList"), Qt::LeftButton);
    ASSERT_TRUE(box->ListVisible());
    QListView* lines = box->ListView();
    const auto rowOf = [lines](const char* text) {
        for (int row = 0; row < lines->model()->rowCount(); ++row) {
            if (lines->model()->index(row, 0).data().toString() == QString::fromLatin1(text)) {
                return row;
            }
        }
        return -1;
    };
    const int header = rowOf(group);
    ASSERT_GE(header, 0);
    if (rowOf(profile) < 0) {
        const QRect line = lines->visualRect(lines->model()->index(header, 0));
        QTest::mouseClick(lines->viewport(), Qt::LeftButton, {}, QPoint(8, line.center().y()));
    }
    const int row = rowOf(profile);
    ASSERT_GE(row, 0);
    QTest::mouseClick(lines->viewport(), Qt::LeftButton, {},
                      lines->visualRect(lines->model()->index(row, 0)).center());
    EXPECT_FALSE(box->ListVisible());
    EXPECT_EQ(box->Text(), QString::fromLatin1(profile));
}

TEST_F(SettingsWindowGuiTest, CancelAndTheCloseButtonStoreNothing) {
    const auto window = MakeWindow();
    const std::string before = SettingsText(*window);
    const std::function<void(QDialog&)> closes[] = {
        [](QDialog& settings) { Click(settings, "btnCancel"); },
        [](QDialog& settings) { settings.close(); }};
    for (const auto& close : closes) {
        WithSettings(*window, [&](QDialog& settings) {
            Choose(settings, "cmbZoom", "Pan and Scan");
            Choose(settings, "cmbVolume", "400%");
            Type(*Control<QComboBox>(settings, "cmbVideoBitRate"), QStringLiteral("1234"));
            PickProfile(settings, "General Audio formates", "MP3 MPEG Layer-3 Audio (*.mp3)");
            Choose(settings, "cmbSamplerate", "22050");
            close(settings);
            EXPECT_FALSE(settings.isVisible());
        });
        EXPECT_TRUE(quillo::testing::ReadFile(SettingsPath()) == before)
            << "the settings file changed";
        EXPECT_EQ(window->Profiles().Text(),
                  QStringLiteral("Apple iPod Video MPEG-4 Movie (*.mp4)"));
    }
    EXPECT_TRUE(messages.empty());
    // The next showing starts again from the stored profile and choices.
    WithSettings(*window, [](QDialog& settings) {
        EXPECT_EQ(Control<ProfileBox>(settings, "cmbProfile")->Text(),
                  QStringLiteral("Apple iPod Video MPEG-4 Movie (*.mp4)"));
        EXPECT_EQ(Shown(settings, "cmbZoom"), QStringLiteral("Letterbox"));
        EXPECT_EQ(Shown(settings, "cmbVideoBitRate"), QStringLiteral("768"));
    });
}

TEST_F(SettingsWindowGuiTest, OkAfterPickingAnotherProfileMakesItCurrentInTheMainWindow) {
    const auto window = MakeWindow();
    WithSettings(*window, [this](QDialog& settings) {
        PickProfile(settings, "General Audio formates", "MP3 MPEG Layer-3 Audio (*.mp3)");
        // The boxes now show the MP3 profile, and the stored current profile is unchanged.
        auto* editor = qobject_cast<SettingsWindow*>(&settings);
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->ProfileCode(), 500);
        EXPECT_FALSE(Control<QComboBox>(settings, "cmbVideoSize")->isEnabled());
        EXPECT_EQ(Items(*Control<QComboBox>(settings, "cmbAudioEncoder")), QStringList{"mp3"});
        EXPECT_EQ(Settings().ReadString("settings", "FormatCode", ""), "");
        Choose(settings, "cmbAudioBitRate", "192");
        Click(settings, "btnOk");
        EXPECT_FALSE(settings.isVisible());
    });
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(Settings().ReadString("settings", "FormatCode", ""), "500");
    EXPECT_EQ(Settings().ReadString("settings", "FormatName", ""),
              "MP3 MPEG Layer-3 Audio (*.mp3)");
    EXPECT_EQ(Stored(500, "Description"), "MP3 MPEG Layer-3 Audio (*.mp3)");
    EXPECT_EQ(Stored(500, "paraAudioBitRate"), "192");
    EXPECT_EQ(Stored(1, "paraAudioBitRate"), "128");
    // The group opened in the editor stays open.
    EXPECT_EQ(Settings().ReadString("lstformat", "5", ""), "0");
    EXPECT_EQ(window->Profiles().Text(), QStringLiteral("MP3 MPEG Layer-3 Audio (*.mp3)"));
    EXPECT_EQ(Control<QLineEdit>(*window, "edtProfile")->text(),
              QStringLiteral("MP3 MPEG Layer-3 Audio (*.mp3)"));
    // New rows are named for it.
    window->AddFiles({Q(FixturePath("clip.mp4"))});
    EXPECT_EQ(Control<QTreeView>(*window, "lvFIles")->model()->index(0, 3).data().toString(),
              QStringLiteral("clip_(new).mp3"));
}

TEST_F(SettingsWindowGuiTest, DefaultSelectsTheCataloguesChoicesAndStoresNothingBeforeOk) {
    UseProfile(0, "XviD Video Format (*.avi)");
    for (const char* key :
         {"iVideoSize", "iVideoBitRate", "iFrameRate", "iVideoEncoder", "iSampleRate",
          "iAudioBitRate", "iAudioEncoder", "iChannel", "iVolume"}) {
        Settings().WriteString("formatInfo0", key, "1");
    }
    Settings().WriteString("formatInfo0", "paraZoom", "pan");
    const auto window = MakeWindow();
    const std::string before = SettingsText(*window);
    WithSettings(*window, [&](QDialog& settings) {
        EXPECT_EQ(Shown(settings, "cmbVideoEncoder"), QStringLiteral("mpeg-4"));
        EXPECT_EQ(Shown(settings, "cmbZoom"), QStringLiteral("Pan and Scan"));
        Click(settings, "btnDefault");
        const struct {
            const char* box;
            const char* index;
        } lists[] = {{"cmbVideoSize", "iVideoSize"},
                     {"cmbVideoEncoder", "iVideoEncoder"},
                     {"cmbVideoBitRate", "iVideoBitRate"},
                     {"cmbFrameRate", "iFrameRate"},
                     {"cmbSamplerate", "iSampleRate"},
                     {"cmbAudioEncoder", "iAudioEncoder"},
                     {"cmbChannel", "iChannel"},
                     {"cmbAudioBitRate", "iAudioBitRate"},
                     {"cmbVolume", "iVolume"}};
        for (const auto& list : lists) {
            SCOPED_TRACE(list.box);
            const int index = Catalogue().ReadInteger("formatInfo0", list.index, -2);
            ASSERT_GE(index, 0);
            EXPECT_EQ(Control<QComboBox>(settings, list.box)->currentIndex(), index);
        }
        EXPECT_EQ(Shown(settings, "cmbVideoSize"), QStringLiteral("640x480"));
        EXPECT_EQ(Shown(settings, "cmbVideoEncoder"), QStringLiteral("xvid"));
        EXPECT_EQ(Shown(settings, "cmbZoom"), QStringLiteral("Full screen"));
        EXPECT_TRUE(quillo::testing::ReadFile(SettingsPath()) == before)
            << "the settings file changed";
        Click(settings, "btnOk");
    });
    EXPECT_EQ(Stored(0, "iVideoSize"), "4");
    EXPECT_EQ(Stored(0, "paraVideoEncoder"), "libxvid");
    EXPECT_EQ(Stored(0, "paraZoom"), "full");
}

struct Converted {
    std::string width;
    std::string height;
    std::string sampleRate;
    int videoBitRate = -1;
};

Converted Probe(const fs::path& output) {
    EXPECT_TRUE(fs::exists(output)) << output;
    const quillo::testing::ProbeReport report =
        quillo::testing::RunFfprobe(output, "-show_streams -show_format");
    EXPECT_EQ(report.exitStatus, 0);
    const int video = quillo::testing::StreamOf(report, "video");
    const int audio = quillo::testing::StreamOf(report, "audio");
    EXPECT_GE(video, 0);
    EXPECT_GE(audio, 0);
    return {
        quillo::testing::StreamField(report, video, "width"),
        quillo::testing::StreamField(report, video, "height"),
        quillo::testing::StreamField(report, audio, "sample_rate"),
        media::ParseInteger(quillo::testing::StreamField(report, video, "bit_rate")).value_or(-1)};
}

TEST_F(SettingsWindowGuiTest, TheNextBatchConvertsWithTheChosenSizeBitRateAndSampleRate) {
    const auto window = MakeWindow();
    WithSettings(*window, [](QDialog& settings) {
        Type(*Control<QComboBox>(settings, "cmbVideoSize"), QStringLiteral("480x360"));
        Choose(settings, "cmbZoom", "Full screen");
        Choose(settings, "cmbSamplerate", "22050");
        Click(settings, "btnOk");
    });
    ASSERT_TRUE(messages.empty());
    window->AddFiles({Q(FixturePath("clip.mp4"))});
    ASSERT_EQ(window->Jobs().RowCount(), 1);
    ConvertAll(*window);
    const Converted profiles = Probe(OutputFolder() / "clip_(new).mp4");
    EXPECT_EQ(profiles.width, "480");
    EXPECT_EQ(profiles.height, "360");
    EXPECT_EQ(profiles.sampleRate, "22050");
    ASSERT_GT(profiles.videoBitRate, 0);

    // The simple test pictures take far less than the profile's 768 kbit/s, so a low bit rate
    // shows in a smaller output, not in an exact number.
    WithSettings(*window, [](QDialog& settings) {
        EXPECT_EQ(Shown(settings, "cmbVideoSize"), QStringLiteral("480x360"));
        Type(*Control<QComboBox>(settings, "cmbVideoBitRate"), QStringLiteral("64"));
        Click(settings, "btnOk");
    });
    ASSERT_TRUE(messages.empty());
    ConvertAll(*window);
    const Converted typed = Probe(OutputFolder() / "clip_(new_1).mp4");
    EXPECT_EQ(typed.width, "480");
    EXPECT_EQ(typed.height, "360");
    EXPECT_EQ(typed.sampleRate, "22050");
    EXPECT_GT(typed.videoBitRate, 0);
    EXPECT_LT(typed.videoBitRate, profiles.videoBitRate * 3 / 4)
        << typed.videoBitRate << " against " << profiles.videoBitRate;
}

TEST(ChoiceLineGuiTest, TheItemUnderThePointerIsFilledAndFramedTwoPixelsIn) {
    QComboBox box;
    box.addItem(QStringLiteral("stereo 2 channels"));
    ChoiceLineDelegate delegate;
    QImage picture(120, ChoiceLineDelegate::LineHeight, QImage::Format_RGB32);
    for (const bool selected : {false, true}) {
        SCOPED_TRACE(selected);
        picture.fill(Qt::black);
        QStyleOptionViewItem option;
        option.initFrom(&box);
        option.rect = picture.rect();
        option.state = QStyle::State_Enabled;
        if (selected) {
            option.state |= QStyle::State_Selected;
        }
        {
            QPainter painter(&picture);
            delegate.paint(&painter, option, box.model()->index(0, 0));
        }
        EXPECT_EQ(picture.pixelColor(0, 0), QColor(Qt::white));
        EXPECT_EQ(picture.pixelColor(1, 10), QColor(Qt::white));
        EXPECT_EQ(picture.pixelColor(119, 19), QColor(Qt::white));
        const QColor frame = selected ? skin::FocusFrame : QColor(Qt::white);
        const QColor fill = selected ? skin::FocusFill : QColor(Qt::white);
        EXPECT_EQ(picture.pixelColor(2, 2), frame);
        EXPECT_EQ(picture.pixelColor(117, 17), frame);
        EXPECT_EQ(picture.pixelColor(100, 10), fill);
        // The text starts 3 pixels in and is centred in height.
        int left = picture.width();
        int top = picture.height();
        int bottom = -1;
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                const QColor colour = picture.pixelColor(x, y);
                if (colour != QColor(Qt::white) && colour != frame && colour != fill) {
                    left = std::min(left, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
            }
        }
        ASSERT_GE(bottom, 0) << "no text drawn";
        EXPECT_GE(left, 3);
        EXPECT_LE(left, 5);
        EXPECT_LE(std::abs((top + bottom) - (picture.height() - 1)), 6);
    }
    EXPECT_EQ(delegate.sizeHint(QStyleOptionViewItem(), box.model()->index(0, 0)).height(),
              ChoiceLineDelegate::LineHeight);
}

}  // namespace
}  // namespace quillo::gui::testing
