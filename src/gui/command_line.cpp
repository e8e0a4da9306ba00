#include "gui/command_line.h"

#include <QCommandLineParser>

namespace quillo::gui {

CommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Converts video and audio files in batches."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Save a picture of the window once it shows, then exit."),
        QStringLiteral("FILE"));
    parser.addOption(screenshot);
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Video or audio files to add to the list."),
                                 QStringLiteral("[FILE...]"));
    parser.process(arguments);
    return {parser.positionalArguments(), parser.value(screenshot)};
}

}  // namespace quillo::gui
