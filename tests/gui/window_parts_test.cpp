// The pieces around the main window: the exception handler's texts and icons, the Add
// dialog's filter (both cases of an extension shown), the file information window, and the
// splash and empty-list pictures.

#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QTreeView>
#include <cmath>
#include <stdexcept>

#include "fixtures/fixture_path.h"
#include "gui/data_files.h"
#include "gui/file_info_window.h"
#include "gui/job_list_view.h"
#include "gui/quillo_application.h"
#include "gui/splash_window.h"
#include "media/media_error.h"
#include "window_test_support.h"

namespace quillo::gui::testing {
namespace {

using quillo::testing::FixturePath;

TEST(GuiExceptionHandler, AddsAFullStopOnlyAfterALetterOrADigit) {
    const struct {
        const char* message;
        const char* shown;
    } cases[] = {
        {"Cannot open file", "Cannot open file."},
        {"Version 5", "Version 5."},
        {"Caf\xc3\xa9", "Caf\xc3\xa9."},
        {"Done!", "Done!"},
        {"Why?", "Why?"},
        {"Already ended.", "Already ended."},
        {"Out of range (3)", "Out of range (3)"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExceptionText(c.message), QString::fromUtf8(c.shown)) << c.message;
    }
}

TEST(GuiExceptionHandler, MediaErrorsAreWarningsAndOthersErrorsWithTheTitleAsCaption) {
    const struct {
        const char* name;
        std::exception_ptr exception;
        MessageIcon icon;
        const char* text;
    } cases[] = {
        {"media error", std::make_exception_ptr(media::MediaError("Cannot open the output file")),
         MessageIcon::Warning, "Cannot open the output file."},
        {"its subclass", std::make_exception_ptr(media::ConversionError("'x' is no number!")),
         MessageIcon::Warning, "'x' is no number!"},
        {"other", std::make_exception_ptr(std::runtime_error("Out of memory")),
         MessageIcon::Critical, "Out of memory."},
        {"no text", std::make_exception_ptr(42), MessageIcon::Critical,
         "An unexpected error without a description occurred."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const MessageRequest request = ExceptionMessage(c.exception);
        EXPECT_EQ(request.Icon, c.icon);
        EXPECT_EQ(request.Caption, QStringLiteral("Quillo Video Converter"));
        EXPECT_EQ(request.Text, QString::fromUtf8(c.text));
    }
}

// Throws from its event handler, as a window's handler might.
class ThrowingObject : public QObject {
public:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) {
            throw media::MediaError("Cannot open file");
        }
        return QObject::event(event);
    }
};

TEST(GuiExceptionHandler, AnExceptionFromAnEventHandlerIsShownAndTheProgramGoesOn) {
    QuilloApplication* application = QuilloApplication::Instance();
    ASSERT_NE(application, nullptr);
    std::vector<MessageRequest> shown;
    application->SetMessageFunction([&shown](const MessageRequest& request) {
        shown.push_back(request);
        return true;
    });
    ThrowingObject object;
    QEvent event(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&object, &event));
    // And again from the event loop.
    QCoreApplication::postEvent(&object, new QEvent(QEvent::User));
    EXPECT_TRUE(QTest::qWaitFor([&shown] { return shown.size() == 2; }));
    for (const MessageRequest& request : shown) {
        EXPECT_EQ(request.Icon, MessageIcon::Warning);
        EXPECT_EQ(request.Caption, QStringLiteral("Quillo Video Converter"));
        EXPECT_EQ(request.Text, QStringLiteral("Cannot open file."));
    }
    application->SetMessageFunction(MessageBoxesFor(nullptr));
}

TEST(GuiFileFilter, EachDescriptionGetsItsPatternsInBothCases) {
    const struct {
        const char* filter;
        const char* qt;
    } cases[] = {
        {"Video|*.AVI;*.Mp4;|All files (*.*)|*.*",
         "Video (*.avi *.AVI *.mp4 *.MP4);;All files (*.*) (*.*)"},
        {"AVI files (*.avi)|*.avi", "AVI files (*.avi) (*.avi *.AVI)"},
        {"Audio|*.OGG;*.MP3;*.OGG;", "Audio (*.ogg *.OGG *.mp3 *.MP3)"},
        {"Nothing|;;", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QtFileFilter(c.filter), QString::fromUtf8(c.qt)) << c.filter;
    }
    const QStringList filters = QtFileFilter(AddFilesFilter).split(QStringLiteral(";;"));
    ASSERT_EQ(filters.size(), 36);
    EXPECT_TRUE(
        filters.front().startsWith(QStringLiteral("All Supported Video Formats (*.avi *.AVI")));
    EXPECT_TRUE(filters.front().endsWith(QStringLiteral("*.swf *.SWF)")));
    EXPECT_EQ(filters[2], QStringLiteral("AVI files (*.avi) (*.avi *.AVI)"));
    EXPECT_EQ(filters.back(), QStringLiteral("All files (*.*) (*.*)"));
}

TEST(GuiFileFilter, TheDialogShowsUpperAndLowerCaseNamesAlike) {
    quillo::testing::TempFolder folder;
    for (const char* name : {"a.avi", "B.AVI", "c.Avi", "d.txt", "e.mp3"}) {
        quillo::testing::WriteFile(folder / name, "x");
    }
    QFileDialog dialog(nullptr, QStringLiteral("Add files"),
                       QString::fromStdString(folder.Path().string()),
                       QtFileFilter(AddFilesFilter));
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.selectNameFilter(QtFileFilter(AddFilesFilter).split(QStringLiteral(";;"))[2]);
    dialog.show();
    auto* view = dialog.findChild<QListView*>(QStringLiteral("listView"));
    ASSERT_NE(view, nullptr);
    const auto shown = [view] {
        QStringList names;
        const QModelIndex root = view->rootIndex();
        for (int row = 0; row < view->model()->rowCount(root); ++row) {
            names.push_back(view->model()->index(row, 0, root).data().toString());
        }
        names.sort();
        return names;
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown().size() == 3; }));
    EXPECT_EQ(shown(), (QStringList{"B.AVI", "a.avi", "c.Avi"}));
    // The description is shown without the patterns added for the dialog.
    auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(types, nullptr);
    EXPECT_EQ(types->currentText(), QStringLiteral("AVI files (*.avi)"));
}

TEST(FileInfoWindowTexts, NamesDurationsAndTheAudioFormat) {
    const QString path45 = QStringLiteral("/0123456789/0123456789/0123456789/0123456.avi");
    ASSERT_EQ(path45.size(), 45);
    EXPECT_EQ(ShortSourceName(path45), path45);
    const QString path46 = QStringLiteral("/0123456789/0123456789/0123456789/01234567.avi");
    EXPECT_EQ(ShortSourceName(path46), path46.left(40) + QStringLiteral("...avi  "));

    const struct {
        std::int64_t duration;
        const char* shown;
    } durations[] = {{65'250'000, "65.250 Second"},
                     {3'000'000, "3.000 Second"},
                     {999, "0.000 Second"},
                     {-1, "0.000 Second"}};
    for (const auto& d : durations) {
        EXPECT_EQ(DurationText(d.duration), QString::fromUtf8(d.shown)) << d.duration;
    }
    EXPECT_EQ(AudioFormatOfInfoText("  Stream #0:0: Video: mpeg4, yuv420p, 320x240\r\n"
                                    "  Stream #0:1: Audio: mp3, 44100 Hz, stereo, fltp\r\n"),
              QStringLiteral("mp3"));
    EXPECT_EQ(AudioFormatOfInfoText("Stream #0:1: Audio: pcm_s16le\r\nnext line"),
              QStringLiteral("pcm_s16le"));
    EXPECT_EQ(AudioFormatOfInfoText("Stream #0:1(und): Audio: aac (LC) (mp4a / 0x6134706D), "
                                    "44100 Hz, stereo"),
              QStringLiteral("aac (LC)"));
    EXPECT_EQ(AudioFormatOfInfoText("Stream #0:1: Audio: mp3 (U[0][0][0] / 0x0055), 44100 Hz"),
              QStringLiteral("mp3"));
    EXPECT_EQ(AudioFormatOfInfoText("Stream #0:0: Video: h264, yuv420p"), QString());
    EXPECT_EQ(FrameRateText(25, 1), QStringLiteral("25"));
    EXPECT_EQ(FrameRateText(30000, 1001), QStringLiteral("29.97"));
    EXPECT_EQ(FrameRateText(0, 0), QString());
}

class FileInfoWindowTest : public WindowTest {};

TEST_F(FileInfoWindowTest, VideoInformationShowsWhatTheProbeFinds) {
    const auto window = MakeWindow();
    window->AddFiles({QString::fromStdString(FixturePath("clip.avi").string()),
                      QString::fromStdString(FixturePath("tagged.mp3").string())});
    ASSERT_EQ(window->Jobs().RowCount(), 2);

    struct Shown {
        std::map<QString, QString> fields;
        QString title;
    };
    const auto open = [&window](int row) {
        window->Jobs().Select(row);
        Shown shown;
        // The window is modal: read it from the event loop, then close it with its button.
        QTimer::singleShot(0, window.get(), [&shown] {
            QWidget* dialog = QApplication::activeModalWidget();
            ASSERT_NE(dialog, nullptr);
            shown.title = dialog->windowTitle();
            for (const char* name : {"lblSourceName", "lblFileLength"}) {
                shown.fields[name] = Control<QLabel>(*dialog, name)->text();
            }
            for (const char* name :
                 {"edtFormat", "edtResloution", "edtBitRate", "edtFrameRate", "edtTotalFrame",
                  "edtAudioForamt", "edtAudioBitRate", "edtSampleRate", "edtChannel"}) {
                shown.fields[name] = Control<QLineEdit>(*dialog, name)->text();
            }
            QTest::mouseClick(Control<QPushButton>(*dialog, "btnOk"), Qt::LeftButton);
        });
        window->ShowFileInformation();
        return shown;
    };

    const Shown video = open(0);
    EXPECT_EQ(video.title, QStringLiteral("File information"));
    EXPECT_EQ(video.fields.at("lblSourceName"),
              ShortSourceName(QString::fromStdString(FixturePath("clip.avi").string())));
    EXPECT_TRUE(video.fields.at("lblFileLength").startsWith(QStringLiteral("3.")));
    EXPECT_TRUE(video.fields.at("lblFileLength").endsWith(QStringLiteral(" Second")));
    EXPECT_EQ(video.fields.at("edtFormat"), QStringLiteral("avi"));
    EXPECT_EQ(video.fields.at("edtResloution"), QStringLiteral("320x240"));
    EXPECT_EQ(video.fields.at("edtFrameRate"), QStringLiteral("25"));
    // The length times the 25 frames a second.
    const double seconds = video.fields.at("lblFileLength").section(' ', 0, 0).toDouble();
    EXPECT_EQ(video.fields.at("edtTotalFrame"), QString::number(std::llround(seconds * 25)));
    // The codec's name, without the container's tag.
    EXPECT_EQ(video.fields.at("edtAudioForamt"), QStringLiteral("mp3"));
    EXPECT_EQ(video.fields.at("edtSampleRate"), QStringLiteral("44100"));

    // Audio only: the video boxes are emptied, the audio ones filled.
    const Shown audio = open(1);
    EXPECT_EQ(audio.fields.at("edtFormat"), QStringLiteral("mp3"));
    for (const char* name : {"edtResloution", "edtBitRate", "edtFrameRate", "edtTotalFrame"}) {
        EXPECT_EQ(audio.fields.at(name), QString()) << name;
    }
    EXPECT_FALSE(audio.fields.at("edtAudioForamt").isEmpty());
    EXPECT_FALSE(audio.fields.at("edtSampleRate").isEmpty());
    EXPECT_FALSE(audio.fields.at("edtChannel").isEmpty());
}

TEST(SplashWindowTest, ShowsCentredAndClosesOnceTheMainWindowShows) {
    QWidget main;
    SplashWindow splash(&main);
    ASSERT_FALSE(splash.Picture().isNull());
    EXPECT_EQ(splash.size(), splash.Picture().deviceIndependentSize().toSize());
    EXPECT_TRUE((splash.windowFlags() & Qt::FramelessWindowHint) != 0);
    splash.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&splash));
    const QRect screen = splash.screen()->availableGeometry();
    EXPECT_LE(std::abs(splash.geometry().center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(splash.geometry().center().y() - screen.center().y()), 1);
    main.show();
    EXPECT_TRUE(QTest::qWaitFor([&splash] { return !splash.isVisible(); }, 10000));
    // The empty list's picture is there too, from the skin folder or built in.
    JobListView view;
    EXPECT_FALSE(view.EmptyPicture().isNull());
}

}  // namespace
}  // namespace quillo::gui::testing
