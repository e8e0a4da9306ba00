#pragma once

#include <QString>
#include <QStringList>

namespace quillo::gui {

// What the program is told on its command line: files to add to the list, and where to save a
// picture of the window before it ends (for checks without anyone watching).
struct CommandLine {
    QStringList Files;
    QString Screenshot;  // empty: none
};

// The arguments, the program's name first. --help and --version are answered, and a wrong
// command line refused with its reason, on the terminal, ending the program.
CommandLine ParseCommandLine(const QStringList& arguments);

}  // namespace quillo::gui
