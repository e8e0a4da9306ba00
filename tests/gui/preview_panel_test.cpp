// The preview panel driven through its controls: playing into the video widget with the
// enabling rules of play, pause and stop, the end of a file, the stored volume and mute, and
// seeking with the position bar. Each test waits on conditions while Qt's event loop runs
// the player's events.

#include "gui/preview_panel.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <cmath>
#include <memory>
#include <optional>
#include <string>

#include "fixtures/fixture_path.h"
#include "gui/time_text.h"
#include "gui/video_widget.h"
#include "gui_test_support.h"
#include "profiles/ini_file.h"
#include "support/temp_folder.h"

namespace quillo::gui {
namespace {

using quillo::testing::FixturePath;
using testing::Control;

constexpr int kWaitMs = 20'000;  // only reached when something is broken

// Seconds of a time text such as "0:01:05"; nullopt for any other text.
// The time of the elapsed label ("0:00:01 / ") or of the total label ("0:00:03").
std::optional<int> SecondsOf(const QString& label) {
    QString text = label;
    if (text.endsWith(QStringLiteral(" / "))) {
        text.chop(3);
    }
    const QStringList parts = text.split(u':');
    if (parts.size() != 3) {
        return std::nullopt;
    }
    bool ok[3] = {};
    const int hours = parts[0].toInt(&ok[0]);
    const int minutes = parts[1].toInt(&ok[1]);
    const int seconds = parts[2].toInt(&ok[2]);
    if (!ok[0] || !ok[1] || !ok[2] || parts[1].size() != 2 || parts[2].size() != 2) {
        return std::nullopt;
    }
    return hours * 3600 + minutes * 60 + seconds;
}

class PreviewPanelGui : public ::testing::Test {
protected:
    void SetUp() override {
        files_.Settings = temp_ / "quilloxvidconverter.ini";
        files_.Catalogue = temp_ / "quilloxvidformat.ini";
    }

    std::unique_ptr<PreviewPanel> MakePanel() {
        auto panel = std::make_unique<PreviewPanel>(files_);
        panel->resize(480, 360);
        panel->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
        std::string error;
        EXPECT_TRUE(panel->EnsureLibraries(error)) << error;
        return panel;
    }

    profiles::IniFile Settings() const { return profiles::IniFile(files_.Settings); }

    // Which of play, pause, stop and snapshot are enabled, as a word of four letters: "P..."
    // is only play, and so on.
    static std::string Commands(const PreviewPanel& panel) {
        std::string word;
        for (const char* name : {"btnPlay", "btnPause", "btnStop", "btnSnapshot"}) {
            word += Control<QPushButton>(panel, name)->isEnabled() ? name[3] : '.';
        }
        return word;
    }

    static QString Text(const PreviewPanel& panel, const char* label) {
        return Control<QLabel>(panel, label)->text();
    }

    quillo::testing::TempFolder temp_;
    profiles::ProfileFiles files_;
};

TEST_F(PreviewPanelGui, PlayShowsPicturesAndTheButtonsFollowPauseAndStop) {
    auto panel = MakePanel();
    QSignalSpy playRequests(panel.get(), &PreviewPanel::playRequested);
    QSignalSpy log(panel.get(), &PreviewPanel::logLine);
    // As the main window does: the focused row's file.
    QObject::connect(panel.get(), &PreviewPanel::playRequested, panel.get(),
                     [&] { panel->PlayFile(FixturePath("clip.mp4")); });
    auto* position = Control<QSlider>(*panel, "trcPosition");

    EXPECT_EQ(Commands(*panel), "P...");
    EXPECT_FALSE(Control<QPushButton>(*panel, "btnPrevious")->isEnabled());
    EXPECT_FALSE(Control<QPushButton>(*panel, "btnNext")->isEnabled());
    EXPECT_FALSE(position->isEnabled());
    EXPECT_EQ(Text(*panel, "lblElapsed"), "00:00:00 / ");
    EXPECT_EQ(Text(*panel, "lblTotal"), "00:00:00");
    EXPECT_TRUE(panel->IsStopped());

    QTest::mouseClick(Control<QPushButton>(*panel, "btnPlay"), Qt::LeftButton);
    ASSERT_EQ(playRequests.count(), 1);
    EXPECT_EQ(Commands(*panel), ".PSS");
    EXPECT_FALSE(panel->IsStopped());
    EXPECT_EQ(Text(*panel, "lblTotal"), "0:00:03");
    EXPECT_TRUE(position->isEnabled());
    EXPECT_EQ(position->maximum(), position->width());
    EXPECT_EQ(position->value(), 0);
    bool described = false;
    for (const QList<QVariant>& line : log) {
        const QString text = line.at(0).toString();
        described = described ||
                    (text.startsWith("duration: 3.") && text.endsWith(", frame size: 320x240"));
    }
    EXPECT_TRUE(described);

    // The pictures come at the video widget's own size, where they are painted.
    VideoWidget& video = panel->Video();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !video.LastFrame().isNull(); }, kWaitMs));
    const QImage frame = video.LastFrame();
    EXPECT_EQ(frame.size(), video.size());
    EXPECT_EQ(qAlpha(frame.pixel(frame.width() / 2, frame.height() / 2)), 255);
    ASSERT_TRUE(QTest::qWaitFor([&] { return SecondsOf(Text(*panel, "lblElapsed")).has_value(); },
                                kWaitMs));

    QTest::mouseClick(Control<QPushButton>(*panel, "btnPause"), Qt::LeftButton);
    EXPECT_EQ(Commands(*panel), "P.SS");
    EXPECT_TRUE(panel->IsPaused());
    EXPECT_TRUE(panel->GetPlayer().Paused());

    // Play while paused goes on with the same file.
    QTest::mouseClick(Control<QPushButton>(*panel, "btnPlay"), Qt::LeftButton);
    EXPECT_EQ(playRequests.count(), 1);
    EXPECT_EQ(Commands(*panel), ".PSS");
    EXPECT_FALSE(panel->IsPaused());
    EXPECT_FALSE(panel->GetPlayer().Paused());

    QTest::mouseClick(Control<QPushButton>(*panel, "btnStop"), Qt::LeftButton);
    EXPECT_EQ(Commands(*panel), "P...");
    EXPECT_TRUE(panel->IsStopped());
    EXPECT_FALSE(panel->IsPaused());
    EXPECT_FALSE(position->isEnabled());
    EXPECT_EQ(position->value(), 0);
    EXPECT_EQ(Text(*panel, "lblElapsed"), "00:00:00 / ");
    EXPECT_EQ(Text(*panel, "lblTotal"), "00:00:00");
    EXPECT_TRUE(video.LastFrame().isNull());
    EXPECT_TRUE(panel->GetPlayer().Paused());  // nothing is open

    // Previous, next and snapshot are the main window's: the panel only asks.
    panel->SetNavigation(true, false);
    EXPECT_TRUE(Control<QPushButton>(*panel, "btnPrevious")->isEnabled());
    EXPECT_FALSE(Control<QPushButton>(*panel, "btnNext")->isEnabled());
    QSignalSpy previous(panel.get(), &PreviewPanel::previousRequested);
    QSignalSpy next(panel.get(), &PreviewPanel::nextRequested);
    QTest::mouseClick(Control<QPushButton>(*panel, "btnPrevious"), Qt::LeftButton);
    QTest::mouseClick(Control<QPushButton>(*panel, "btnNext"), Qt::LeftButton);
    EXPECT_EQ(previous.count(), 1);
    EXPECT_EQ(next.count(), 0);
}

TEST_F(PreviewPanelGui, TheEndOfTheFileRewindsAndShowsTheStoppedState) {
    auto panel = MakePanel();
    QSignalSpy snapshots(panel.get(), &PreviewPanel::snapshotRequested);
    panel->PlayFile(FixturePath("clip.mp4"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !panel->Video().LastFrame().isNull(); }, kWaitMs));
    QTest::mouseClick(Control<QPushButton>(*panel, "btnSnapshot"), Qt::LeftButton);
    EXPECT_EQ(snapshots.count(), 1);

    panel->GetPlayer().Seek(0, true, 2'800'000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->IsStopped(); }, kWaitMs));
    EXPECT_EQ(Commands(*panel), "P...");
    EXPECT_FALSE(panel->IsPaused());
    auto* position = Control<QSlider>(*panel, "trcPosition");
    EXPECT_EQ(position->value(), 0);
    EXPECT_FALSE(position->isEnabled());
    EXPECT_EQ(Text(*panel, "lblElapsed"), "00:00:00 / ");
    EXPECT_EQ(Text(*panel, "lblTotal"), "00:00:00");
    // The file stays open, paused.
    EXPECT_TRUE(panel->GetPlayer().Paused());
    EXPECT_EQ(panel->GetPlayer().CurrentFrame().Width(), 320);

    // Play again opens the file anew.
    QSignalSpy playRequests(panel.get(), &PreviewPanel::playRequested);
    QTest::mouseClick(Control<QPushButton>(*panel, "btnPlay"), Qt::LeftButton);
    EXPECT_EQ(playRequests.count(), 1);
}

TEST_F(PreviewPanelGui, VolumeAndMuteAreStoredAndANewPanelRestoresThem) {
    // What a new panel shows for what the settings hold; a missing volume reads 0.
    const struct {
        const char* volume;  // null: no key
        const char* mute;
        int bar;
        bool muted;
    } restored[] = {
        {nullptr, nullptr, 0, false}, {"64", "1", 64, true},  {"128", "0", 128, false},
        {"200", "1", 64, true},       {"-1", "0", 64, false}, {"loud", "1", 0, true},
    };
    for (const auto& r : restored) {
        SCOPED_TRACE(r.volume != nullptr ? r.volume : "none");
        std::filesystem::remove(files_.Settings);
        if (r.volume != nullptr) {
            Settings().WriteString("settings", "volume", r.volume);
            Settings().WriteString("settings", "mute", r.mute);
        }
        const PreviewPanel panel(files_);
        EXPECT_EQ(Control<QSlider>(panel, "trcVolume")->value(), r.bar);
        EXPECT_EQ(Control<QPushButton>(panel, "btnMute")->isChecked(), r.muted);
        // Restoring is no change: nothing is written.
        EXPECT_EQ(Settings().ReadString("settings", "volume", "none"),
                  r.volume != nullptr ? r.volume : "none");
    }

    std::filesystem::remove(files_.Settings);
    {
        auto panel = MakePanel();
        auto* volume = Control<QSlider>(*panel, "trcVolume");
        auto* mute = Control<QPushButton>(*panel, "btnMute");
        const QImage soundGlyph = mute->icon().pixmap(20, 20).toImage();

        // Pressing and dragging puts the thumb under the pointer.
        const int x = volume->width() / 2;
        QTest::mousePress(volume, Qt::LeftButton, {}, QPoint(4, volume->height() / 2));
        QTest::mouseMove(volume, QPoint(x, volume->height() / 2));
        QTest::mouseRelease(volume, Qt::LeftButton, {}, QPoint(x, volume->height() / 2));
        const int expected = static_cast<int>(static_cast<double>(x) / (volume->width() - 6) * 128);
        EXPECT_EQ(volume->value(), expected);
        EXPECT_EQ(Settings().ReadInteger("settings", "volume", -1), expected);
        EXPECT_EQ(panel->GetPlayer().AudioVolume(), expected);

        QTest::mouseClick(mute, Qt::LeftButton);
        EXPECT_TRUE(mute->isChecked());
        EXPECT_EQ(Settings().ReadInteger("settings", "mute", -1), 1);
        EXPECT_TRUE(panel->GetPlayer().Mute());
        EXPECT_NE(mute->icon().pixmap(20, 20).toImage(), soundGlyph);
    }

    // A new panel plays at the stored volume, muted; un-muting stores 0.
    auto panel = MakePanel();
    const int stored = Settings().ReadInteger("settings", "volume", -1);
    auto* mute = Control<QPushButton>(*panel, "btnMute");
    EXPECT_EQ(Control<QSlider>(*panel, "trcVolume")->value(), stored);
    EXPECT_TRUE(mute->isChecked());
    panel->GetPlayer().SetMute(false);
    panel->GetPlayer().SetAudioVolume(128);
    panel->PlayFile(FixturePath("tagged.mp3"));
    EXPECT_EQ(panel->GetPlayer().AudioVolume(), stored);
    EXPECT_TRUE(panel->GetPlayer().Mute());
    QTest::mouseClick(mute, Qt::LeftButton);
    EXPECT_FALSE(panel->GetPlayer().Mute());
    EXPECT_EQ(Settings().ReadInteger("settings", "mute", -1), 0);
    panel->Stop();
}

TEST_F(PreviewPanelGui, DraggingThePositionBarSeeksThere) {
    auto panel = MakePanel();
    panel->PlayFile(FixturePath("clip.mp4"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !panel->Video().LastFrame().isNull(); }, kWaitMs));
    // Paused near the start, nothing but the seek can move the times on.
    QTest::mouseClick(Control<QPushButton>(*panel, "btnPause"), Qt::LeftButton);
    ASSERT_TRUE(panel->IsPaused());
    auto* position = Control<QSlider>(*panel, "trcPosition");
    ASSERT_TRUE(position->isEnabled());
    std::int64_t before = -1;
    panel->GetPlayer().CurrentFrame(before);
    ASSERT_LT(before, 1'000'000);

    const int y = position->height() / 2;
    const int x = (position->width() - 6) * 4 / 5;
    QTest::mousePress(position, Qt::LeftButton, {}, QPoint(2, y));
    QTest::mouseMove(position, QPoint(x / 2, y));
    QTest::mouseMove(position, QPoint(x, y));
    const int expected =
        static_cast<int>(static_cast<double>(x) / (position->width() - 6) * position->maximum());
    EXPECT_EQ(position->value(), expected);
    QTest::mouseRelease(position, Qt::LeftButton, {}, QPoint(x, y));

    // The seek goes to the key frame at or before the place: within a second of it.
    const double target = static_cast<double>(expected) / position->maximum() * 3.0;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const std::optional<int> shown = SecondsOf(Text(*panel, "lblElapsed"));
            return shown && std::abs(*shown - target) < 1.0;
        },
        kWaitMs))
        << Text(*panel, "lblElapsed").toStdString() << " for " << target << " s";
    EXPECT_NEAR(position->value(), expected, position->maximum() / 3);
    EXPECT_TRUE(panel->IsPaused());
    EXPECT_EQ(Commands(*panel), "P.SS");
}

}  // namespace
}  // namespace quillo::gui
