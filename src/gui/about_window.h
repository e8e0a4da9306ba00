#pragma once

#include <QDialog>

namespace quillo::gui {

// "&About": the program's picture, its title and version text, the product name and an OK
// button. Controls (objectName): "lblAboutTitle", "lblProduct", "btnOk".
class AboutWindow : public QDialog {
    Q_OBJECT
public:
    AboutWindow(const QString& title, const QString& versionText, QWidget* parent = nullptr);
};

// The user guide shipped with the program ("user-guide.md" in the data folders), rendered.
// Controls (objectName): "txtGuide".
class HelpWindow : public QDialog {
    Q_OBJECT
public:
    // The guide's text; false when it cannot be found or read.
    static bool LoadGuide(QString& markdown);

    HelpWindow(const QString& title, const QString& markdown, QWidget* parent = nullptr);
};

}  // namespace quillo::gui
