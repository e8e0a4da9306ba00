#include "gui/about_window.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "gui/data_files.h"
#include "gui/skin.h"
#include "quillo/version.h"

namespace quillo::gui {

AboutWindow::AboutWindow(const QString& title, const QString& versionText, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("AboutWindow"));
    setWindowTitle(QStringLiteral("About ") + title);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 14);
    layout->setSpacing(14);

    auto* top = new QHBoxLayout;
    top->setSpacing(16);
    auto* picture = new QLabel(this);
    picture->setPixmap(ApplicationIcon().pixmap(72, 72));
    picture->setAlignment(Qt::AlignTop);
    top->addWidget(picture);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(6);
    auto* heading = new QLabel(title + versionText, this);
    heading->setObjectName(QStringLiteral("lblAboutTitle"));
    QFont big = heading->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    heading->setFont(big);
    texts->addWidget(heading);
    auto* product =
        new QLabel(QStringLiteral("%1 %2\nA batch converter for video and audio files.\n"
                                  "Conversion and preview by the FFmpeg libraries and SDL.")
                       .arg(title, QString::fromUtf8(VersionString)),
                   this);
    product->setObjectName(QStringLiteral("lblProduct"));
    product->setWordWrap(true);
    texts->addWidget(product);
    texts->addStretch(1);
    top->addLayout(texts, 1);
    layout->addLayout(top);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("btnOk"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(420, 0)));
}

bool HelpWindow::LoadGuide(QString& markdown) {
    const auto path = FindDataFile("user-guide.md");
    if (path.empty()) {
        return false;
    }
    QFile file(QString::fromStdString(path.string()));
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    markdown = QString::fromUtf8(file.readAll());
    return !markdown.isEmpty();
}

HelpWindow::HelpWindow(const QString& title, const QString& markdown, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(title + QStringLiteral(" - User guide"));
    resize(640, 560);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    auto* text = new QTextBrowser(this);
    text->setObjectName(QStringLiteral("txtGuide"));
    text->setOpenExternalLinks(true);
    text->document()->setDocumentMargin(14);
    // The guide's pictures lie beside it.
    const auto guide = FindDataFile("user-guide.md");
    if (!guide.empty()) {
        text->setSearchPaths({QString::fromStdString(guide.parent_path().string())});
    }
    text->setMarkdown(markdown);
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

}  // namespace quillo::gui
