// The main window driven through its controls: adding files (rows, columns, texts, files left
// out), removing and clearing, the Edit menu's enabling, the profile box across a restart, the
// output folder's refusals and files named on the command line.

#include <QDir>
#include <QDropEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <filesystem>
#include <map>

#include "fixtures/fixture_path.h"
#include "gui/command_line.h"
#include "gui/job_list_view.h"
#include "gui/preview_panel.h"
#include "gui/profile_box.h"
#include "window_test_support.h"

namespace quillo::gui::testing {
namespace {

namespace fs = std::filesystem;
using quillo::testing::FixturePath;

QString Cell(const QTreeView& list, int row, int column) {
    return list.model()->index(row, column).data().toString();
}

bool Checked(const QTreeView& list, int row) {
    return list.model()->index(row, 0).data(Qt::CheckStateRole).value<Qt::CheckState>() ==
           Qt::Checked;
}

class MainWindowGuiTest : public WindowTest {};

TEST_F(MainWindowGuiTest, AddingFilesFillsRowsAndColumnsAndLeavesRepeatsAndNonMediaOut) {
    const auto window = MakeWindow();
    auto* list = Control<QTreeView>(*window, "lvFIles");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->model()->columnCount(), 0);
    EXPECT_TRUE(list->header()->isHidden());

    chosenFiles = {{Q(FixturePath("clip.mp4")), Q(FixturePath("clip.avi"))},
                   {Q(FixturePath("clip.mp4")), Q(FixturePath("two_minutes.mkv"))},
                   {Q(FixturePath("not_media.txt"))}};
    Click(*window, "btnAdd");
    ASSERT_EQ(openRequests.size(), 1u);
    EXPECT_TRUE(openRequests[0].filter.startsWith(
        QStringLiteral("All Supported Video Formats (*.avi *.AVI *.avm *.AVM ")))
        << openRequests[0].filter.toStdString();
    ASSERT_EQ(list->model()->rowCount(), 2);
    ASSERT_EQ(list->model()->columnCount(), 5);
    EXPECT_FALSE(list->header()->isHidden());
    const std::map<int, std::pair<const char*, int>> columns{{0, {"Source", 140}},
                                                             {1, {"Length", 65}},
                                                             {2, {"Trimmed Length", 90}},
                                                             {3, {"Destination File", 120}},
                                                             {4, {"Progress", 60}}};
    for (const auto& [column, expected] : columns) {
        SCOPED_TRACE(column);
        EXPECT_EQ(list->model()->headerData(column, Qt::Horizontal).toString(),
                  QString::fromLatin1(expected.first));
        // At least the list's width, and never so narrow that the caption is cut.
        QFont bold = list->header()->font();
        bold.setBold(true);
        const int caption = QFontMetrics(bold).horizontalAdvance(expected.first);
        EXPECT_GE(list->columnWidth(column), std::max(expected.second, caption));
        if (column > 0) {
            EXPECT_LE(list->columnWidth(column), std::max(expected.second, caption + 24));
        }
    }
    EXPECT_EQ(Cell(*list, 0, 0), Q(FixturePath("clip.mp4")));
    EXPECT_EQ(Cell(*list, 1, 0), Q(FixturePath("clip.avi")));
    for (int row = 0; row < 2; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(Cell(*list, row, 1), QStringLiteral("3"));
        EXPECT_EQ(Cell(*list, row, 2), QStringLiteral("3"));
        // The default profile writes MP4; no output exists yet, so both get the first name.
        EXPECT_EQ(Cell(*list, row, 3), QStringLiteral("clip_(new).mp4"));
        EXPECT_EQ(Cell(*list, row, 4), QString());
        EXPECT_TRUE(Checked(*list, row));
    }
    EXPECT_EQ(list->currentIndex().row(), 0);
    EXPECT_TRUE(messages.empty());

    // The repeated file is left out without a word; the new one comes last.
    Click(*window, "btnAdd");
    ASSERT_EQ(list->model()->rowCount(), 3);
    EXPECT_EQ(Cell(*list, 2, 0), Q(FixturePath("two_minutes.mkv")));
    EXPECT_EQ(Cell(*list, 2, 1), QStringLiteral("125"));
    EXPECT_EQ(Cell(*list, 2, 2), QStringLiteral("125"));
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(window->LogText().contains(QStringLiteral("already in the list: ") +
                                           Q(FixturePath("clip.mp4"))));

    // A file no library can read is named in a warning.
    Click(*window, "btnAdd");
    EXPECT_EQ(list->model()->rowCount(), 3);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].Icon, MessageIcon::Warning);
    EXPECT_EQ(messages[0].Caption, QStringLiteral("Warning"));
    EXPECT_TRUE(messages[0].Text.endsWith(QStringLiteral(":\n") + Q(FixturePath("not_media.txt"))))
        << messages[0].Text.toStdString();

    // Cancelling the dialog adds nothing.
    Click(*window, "btnAdd");
    EXPECT_EQ(openRequests.size(), 4u);
    EXPECT_EQ(list->model()->rowCount(), 3);
}

TEST_F(MainWindowGuiTest, RemovingTheLastRowSelectsTheNewLastAndClearingEmptiesTheList) {
    const auto window = MakeWindow();
    auto* list = Control<QTreeView>(*window, "lvFIles");
    ASSERT_NE(list, nullptr);
    for (const char* name : {"btnRemove", "btnClear", "btnStart"}) {
        EXPECT_FALSE(Control<QPushButton>(*window, name)->isEnabled()) << name;
    }
    window->AddFiles(
        {Q(FixturePath("clip.mp4")), Q(FixturePath("clip.avi")), Q(FixturePath("clip.mkv"))});
    ASSERT_EQ(list->model()->rowCount(), 3);

    // A click on the last row's text selects it.
    const QRect last = list->visualRect(list->model()->index(2, 3));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, last.center());
    ASSERT_EQ(window->Jobs().Selected(), 2);
    Click(*window, "btnRemove");
    ASSERT_EQ(list->model()->rowCount(), 2);
    EXPECT_EQ(window->Jobs().Selected(), 1);
    EXPECT_EQ(list->currentIndex().row(), 1);
    EXPECT_EQ(Cell(*list, 1, 0), Q(FixturePath("clip.avi")));
    EXPECT_TRUE(list->selectionModel()->isRowSelected(1, {}));

    Click(*window, "btnClear");
    EXPECT_EQ(list->model()->rowCount(), 0);
    EXPECT_EQ(list->model()->columnCount(), 0);
    EXPECT_TRUE(list->header()->isHidden());
    EXPECT_EQ(window->Jobs().Selected(), -1);
    for (const char* name : {"btnRemove", "btnClear", "btnStart"}) {
        EXPECT_FALSE(Control<QPushButton>(*window, name)->isEnabled()) << name;
    }
    EXPECT_TRUE(Control<QPushButton>(*window, "btnAdd")->isEnabled());
}

TEST_F(MainWindowGuiTest, ADoubleClickOnARowPlaysItButNotOneOnItsCheckBox) {
    const auto window = MakeWindow();
    window->AddFiles({Q(FixturePath("clip.mp4")), Q(FixturePath("clip.avi"))});
    auto* list = Control<QTreeView>(*window, "lvFIles");
    ASSERT_EQ(list->model()->rowCount(), 2);
    PreviewPanel& preview = window->Preview();
    ASSERT_TRUE(preview.IsStopped());

    // A double click as the window system delivers it: press, release, press, double click,
    // release.
    const auto doubleClick = [list](QPoint at) {
        const QPointF global = list->viewport()->mapToGlobal(QPointF(at));
        for (const auto& [type, buttons] : {std::pair{QEvent::MouseButtonPress, Qt::LeftButton},
                                            std::pair{QEvent::MouseButtonRelease, Qt::NoButton},
                                            std::pair{QEvent::MouseButtonPress, Qt::LeftButton},
                                            std::pair{QEvent::MouseButtonDblClick, Qt::LeftButton},
                                            std::pair{QEvent::MouseButtonRelease, Qt::NoButton}}) {
            QMouseEvent event(type, QPointF(at), global, Qt::LeftButton, buttons, Qt::NoModifier);
            QApplication::sendEvent(list->viewport(), &event);
        }
    };
    const QRect first = list->visualRect(list->model()->index(1, 0));
    const QPoint box = JobRowDelegate::CheckBoxRect(first).center();
    doubleClick(box);
    EXPECT_TRUE(Checked(*list, 1));
    EXPECT_TRUE(preview.IsStopped());

    const QPoint text = list->visualRect(list->model()->index(1, 3)).center();
    doubleClick(text);
    EXPECT_EQ(window->Jobs().Selected(), 1);
    EXPECT_FALSE(preview.IsStopped());
    EXPECT_TRUE(Control<QPushButton>(*window, "btnStop")->isEnabled());
    // Clearing the list stops the preview.
    Click(*window, "btnClear");
    EXPECT_TRUE(preview.IsStopped());
}

TEST_F(MainWindowGuiTest, PlayOnAnEmptyListAddsFilesThenPlaysAndNextFollowsTheRows) {
    const auto window = MakeWindow();
    PreviewPanel& preview = window->Preview();
    auto* next = Control<QPushButton>(*window, "btnNext");
    auto* previous = Control<QPushButton>(*window, "btnPrevious");
    chosenFiles = {
        {Q(FixturePath("clip.mp4")), Q(FixturePath("clip.avi")), Q(FixturePath("clip.mkv"))}};
    Click(*window, "btnPlay");
    ASSERT_EQ(openRequests.size(), 1u);
    ASSERT_EQ(window->Jobs().RowCount(), 3);
    EXPECT_EQ(window->Jobs().Selected(), 0);
    EXPECT_FALSE(preview.IsStopped());
    EXPECT_FALSE(previous->isEnabled());
    EXPECT_TRUE(next->isEnabled());

    Click(*window, "btnNext");
    Click(*window, "btnNext");
    EXPECT_EQ(window->Jobs().Selected(), 2);
    EXPECT_FALSE(preview.IsStopped());
    EXPECT_TRUE(previous->isEnabled());
    EXPECT_FALSE(next->isEnabled());
    Click(*window, "btnPrevious");
    EXPECT_EQ(window->Jobs().Selected(), 1);
    EXPECT_TRUE(next->isEnabled());
    // A second Add plays nothing by itself.
    Click(*window, "btnStop");
    chosenFiles = {{Q(FixturePath("two_minutes.mkv"))}};
    Click(*window, "btnAdd");
    EXPECT_EQ(window->Jobs().RowCount(), 4);
    EXPECT_TRUE(preview.IsStopped());
}

TEST_F(MainWindowGuiTest, TheEditMenuEnablesOnlyAddOnAnEmptyList) {
    const auto window = MakeWindow();
    QMenu& menu = window->EditMenu();
    const auto enabled = [&menu] {
        std::map<QString, bool> states;
        menu.popup(QPoint(0, 0));  // its opening sets the states
        for (const QAction* action : menu.actions()) {
            if (!action->isSeparator()) {
                states[action->text()] = action->isEnabled();
            }
        }
        menu.hide();
        return states;
    };
    const QStringList entries{"&Crop",  "&Trim",  "&Video Effect && Water Mark", "&Add", "&Remove",
                              "&Clear", "&Start", "Video &Information"};
    std::map<QString, bool> states = enabled();
    ASSERT_EQ(states.size(), static_cast<std::size_t>(entries.size()));
    for (const QString& entry : entries) {
        EXPECT_EQ(states[entry], entry == QStringLiteral("&Add")) << entry.toStdString();
    }

    window->AddFiles({Q(FixturePath("clip.mp4"))});
    states = enabled();
    for (const QString& entry : entries) {
        EXPECT_TRUE(states[entry]) << entry.toStdString();
    }
    // The Edit button drops the same menu.
    EXPECT_EQ(Control<QToolButton>(*window, "btnEdit")->menu(), &menu);
}

TEST_F(MainWindowGuiTest, TheChosenProfileAndTheOpenGroupsOutlastARestart) {
    auto window = MakeWindow();
    auto* box = Control<QLineEdit>(*window, "edtProfile");
    ASSERT_NE(box, nullptr);
    // A first run shows the starting profile, which is in no group, and six closed groups.
    EXPECT_EQ(box->text(), QStringLiteral("Apple iPod Video MPEG-4 Movie (*.mp4)"));

    QTest::mouseClick(box, Qt::LeftButton);
    QListView* lines = window->Profiles().ListView();
    ASSERT_TRUE(window->Profiles().ListVisible());
    ASSERT_EQ(lines->model()->rowCount(), 6);
    const auto rowOf = [lines](const QString& text) {
        for (int row = 0; row < lines->model()->rowCount(); ++row) {
            if (lines->model()->index(row, 0).data().toString() == text) {
                return row;
            }
        }
        return -1;
    };
    const int group = rowOf(QStringLiteral("General Video formates"));
    ASSERT_EQ(group, 4);
    // A press beyond the 20-pixel zone of a header does nothing; one inside it opens the group.
    const QRect header = lines->visualRect(lines->model()->index(group, 0));
    QTest::mouseClick(lines->viewport(), Qt::LeftButton, {}, QPoint(60, header.center().y()));
    EXPECT_EQ(lines->model()->rowCount(), 6);
    QTest::mouseClick(lines->viewport(), Qt::LeftButton, {}, QPoint(8, header.center().y()));
    ASSERT_EQ(lines->model()->rowCount(), 16);
    EXPECT_EQ(lines->model()->index(group + 1, 0).data().toString(),
              QStringLiteral("MPEG-1 Video (*.mpg)"));
    EXPECT_EQ(lines->model()->index(group + 10, 0).data().toString(),
              QStringLiteral("DV - PAL -Digital Video Format (*.dv)"));

    const int avi = rowOf(QStringLiteral("AVI Video (*.avi)"));
    ASSERT_EQ(avi, group + 5);
    QTest::mouseClick(lines->viewport(), Qt::LeftButton, {},
                      lines->visualRect(lines->model()->index(avi, 0)).center());
    EXPECT_FALSE(window->Profiles().ListVisible());
    EXPECT_EQ(box->text(), QStringLiteral("AVI Video (*.avi)"));
    EXPECT_EQ(Settings().ReadString("settings", "FormatCode", ""), "404");
    EXPECT_EQ(Settings().ReadString("settings", "FormatName", ""), "AVI Video (*.avi)");

    window.reset();  // exit stores the groups' states
    window = MakeWindow();
    box = Control<QLineEdit>(*window, "edtProfile");
    EXPECT_EQ(box->text(), QStringLiteral("AVI Video (*.avi)"));
    EXPECT_EQ(window->Profiles().ListView()->model()->rowCount(), 16);
    // New rows are named for the chosen profile.
    window->AddFiles({Q(FixturePath("clip.mp4"))});
    EXPECT_EQ(Cell(*Control<QTreeView>(*window, "lvFIles"), 0, 3),
              QStringLiteral("clip_(new).avi"));
}

TEST_F(MainWindowGuiTest, BrowseRefusesFoldersThatCannotTakeTheOutputs) {
    const auto window = MakeWindow();
    auto* box = Control<QLineEdit>(*window, "edtOutputDir");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), Q(OutputFolder()));
    const fs::path writable = *this / "chosen";
    fs::create_directories(writable);
    const fs::path missing = *this / "missing";
    const fs::path disc = *this / "disc";
    fs::create_directories(disc);
    const QString user = QString::fromStdString(app::GlobalObject::UserName()).trimmed();
    const QString home = Q(fs::path(qEnvironmentVariable("HOME").toStdString()) / "korvana");

    const struct {
        const char* name;
        QStringList choices;
        std::vector<MessageRequest> expected;
        QString stored;        // the stored folder and the box's text afterwards
        std::size_t openings;  // of the picker
    } cases[] = {
        {"cancelled", {}, {}, Q(OutputFolder()), 1},
        {"the same folder", {Q(OutputFolder())}, {}, Q(OutputFolder()), 1},
        {"a root",
         {QStringLiteral("/")},
         {{MessageIcon::Warning, "Warning", "The path / is not a valid directory."}},
         Q(OutputFolder()),
         1},
        {"an optical disc, then cancelled",
         {Q(disc)},
         {{MessageIcon::Information, "Quillo Video Converter",
           "Output folder cannot be located in CD-ROM.Please select another folder."}},
         Q(OutputFolder()),
         2},
        {"a folder without write permission",
         {Q(missing)},
         {{MessageIcon::Warning, "Warning",
           "You login as " + user +
               " .You don't have permission to write to directory:" + Q(missing)}},
         home,
         1},
        {"an optical disc, then a writable folder",
         {Q(disc), Q(writable)},
         {{MessageIcon::Information, "Quillo Video Converter",
           "Output folder cannot be located in CD-ROM.Please select another folder."}},
         Q(writable),
         2},
    };
    readOnlyFolders = {Q(disc)};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        messages.clear();
        folderRequests.clear();
        chosenFolders = c.choices;
        Settings().WriteString("settings", "OutPutDir", OutputFolder().string());
        box->setText(Q(OutputFolder()));
        Click(*window, "btnBrowse");
        ASSERT_EQ(messages.size(), c.expected.size());
        for (std::size_t index = 0; index < messages.size(); ++index) {
            EXPECT_EQ(messages[index].Icon, c.expected[index].Icon);
            EXPECT_EQ(messages[index].Caption, c.expected[index].Caption);
            EXPECT_EQ(messages[index].Text, c.expected[index].Text);
        }
        EXPECT_EQ(QString::fromStdString(Settings().ReadString("settings", "OutPutDir", "")),
                  c.stored);
        EXPECT_EQ(box->text(), c.stored);
        // The picker opens where the box points, and again at a refused disc.
        ASSERT_EQ(folderRequests.size(), c.openings);
        EXPECT_EQ(folderRequests[0].folder, Q(OutputFolder()));
        if (c.openings > 1) {
            EXPECT_EQ(folderRequests[1].folder, Q(disc));
        }
    }
}

TEST_F(MainWindowGuiTest, FilesNamedOnTheCommandLineOrDroppedAreAddedAsIfChosen) {
    const CommandLine commandLine =
        ParseCommandLine({"quillo-video-converter", "clip.mp4", "--screenshot", "window.png",
                          "two_minutes.mkv", "not_media.txt", "clip.mp4"});
    EXPECT_EQ(commandLine.Screenshot, QStringLiteral("window.png"));
    ASSERT_EQ(commandLine.Files,
              (QStringList{"clip.mp4", "two_minutes.mkv", "not_media.txt", "clip.mp4"}));

    // Relative names are taken from the working folder and shown whole.
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(Q(FixturePath("."))));
    const auto window = MakeWindow();
    window->AddFiles(commandLine.Files);
    QDir::setCurrent(previous);
    auto* list = Control<QTreeView>(*window, "lvFIles");
    ASSERT_EQ(list->model()->rowCount(), 2);
    const QString folder = QDir::cleanPath(Q(FixturePath(".")));
    EXPECT_EQ(Cell(*list, 0, 0), folder + QStringLiteral("/clip.mp4"));
    EXPECT_EQ(Cell(*list, 1, 0), folder + QStringLiteral("/two_minutes.mkv"));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].Text.endsWith(folder + QStringLiteral("/not_media.txt")));

    // Files dropped on the list come the same way.
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(Q(FixturePath("clip.avi"))),
                     QUrl::fromLocalFile(Q(FixturePath("clip.mp4")))});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    ASSERT_EQ(list->model()->rowCount(), 3);
    EXPECT_EQ(Cell(*list, 2, 0), Q(FixturePath("clip.avi")));
}

}  // namespace
}  // namespace quillo::gui::testing
