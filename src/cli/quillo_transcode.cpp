// Runs one transcoding task from options in the engine's own vocabulary, in the order given:
// "-name value" sets an option, "-i FILE" opens an input, and a bare argument opens an
// output. For benchmarks and for checking the engine without the job list.

#include <signal.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "converter/transcoder.h"
#include "media/file_contents.h"
#include "media/library_loader.h"
#include "media/logger.h"
#include "media/media_error.h"

namespace {

using quillo::converter::Transcoder;

std::atomic<bool> interrupted{false};

void Interrupt(int) {
    interrupted.store(true);
}

constexpr const char* Usage =
    "usage: quillo-transcode [OPTIONS] -i INPUT [OPTIONS] OUTPUT\n"
    "\n"
    "Converts INPUT into OUTPUT with the engine of Quillo Video Converter. Options are read\n"
    "in order, as the engine takes them: an option stands before the input or output it is\n"
    "for, and a stream option before the stream it is for.\n"
    "\n"
    "  -NAME VALUE   sets the engine option NAME (for example -vcodec mpeg4 -b 1500k, or any\n"
    "                option of the media libraries, such as -bf 2)\n"
    "  -NAME         a switch that takes no value: -an -vn -sn -shortest -copyts -xerror\n"
    "                -isync -re -sameq -deinterlace -psnr -qphist -intra -dump -hex ...,\n"
    "                and -newvideo -newaudio -newsubtitle, which add a stream to the output\n"
    "  -i FILE       opens FILE as an input\n"
    "  FILE          opens FILE as an output (an existing file is replaced)\n"
    "  --help        shows this text\n"
    "\n"
    "An option nothing knows, or a value the engine or a media library refuses, stops the\n"
    "program with the reason before anything is converted.\n"
    "\n"
    "The report line shows the progress; Ctrl-C stops the conversion and finishes the output\n"
    "up to that point. The exit status is 0 only when the task finished without error.\n";

bool Fail(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return false;
}

// Applies the arguments to the engine in order; false (after saying why) on the first refusal.
// Unlike a profile, a command line that names an unknown option or a refused value is a
// mistake the user wants to hear about before anything is converted. errorsLogged counts the
// error lines logged so far: when one came with the refusal, it has said why already.
bool ApplyArguments(Transcoder& engine, int argc, char** argv, int& outputs,
                    const int& errorsLogged) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument.size() < 2 || argument[0] != '-') {
            if (engine.OpenOutput(argument, false) < 0) {
                return Fail(engine.LastErrorMessage());
            }
            ++outputs;
            continue;
        }
        const std::string name = argument.substr(1);
        if (name == "i") {
            if (i + 1 >= argc) {
                return Fail("Missing file name after -i");
            }
            const std::string input = argv[++i];
            if (!engine.OpenInput(input)) {
                return Fail(engine.LastErrorMessage());
            }
            continue;
        }
        std::string value = "1";
        if (!Transcoder::TakesNoValue(name)) {
            if (i + 1 >= argc) {
                return Fail("Missing argument for option '" + name + "'");
            }
            value = argv[++i];
        }
        try {
            const int errorsBefore = errorsLogged;
            if (!engine.SetOption(name, value)) {
                if (errorsLogged == errorsBefore) {
                    Fail("Unrecognized option '" + name + "'");
                }
                return false;
            }
        } catch (const quillo::media::MediaError& error) {
            return Fail(error.what());
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(Usage, stdout);
            return 0;
        }
    }
    if (argc < 2) {
        std::fputs(Usage, stderr);
        return 2;
    }
    // A full file-size limit gives a write error, not a killed process.
    signal(SIGXFSZ, SIG_IGN);
    signal(SIGINT, Interrupt);
    signal(SIGTERM, Interrupt);

    auto& loader = quillo::media::LibraryLoaderInstance();
    loader.SetLibraryFolder(quillo::media::ExecutableFolder() / "medialibs");
    if (!loader.LoadLibraries(quillo::media::ConverterLibrarySet)) {
        std::fprintf(stderr, "%s\n", loader.LastErrorMessage().c_str());
        return 1;
    }
    auto& logger = quillo::media::LoggerInstance();
    bool reportShown = false;
    int errorsLogged = 0;
    logger.SetOnLog([&reportShown, &errorsLogged](const quillo::media::MediaComponent*,
                                                  std::uint32_t, quillo::media::LogLevel level,
                                                  const std::string& message) {
        if (level <= quillo::media::LogLevel::llError) {
            ++errorsLogged;
        }
        if (reportShown) {
            std::fputc('\n', stderr);
            reportShown = false;
        }
        std::string text = message;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
            text.pop_back();
        }
        std::fprintf(stderr, "%s\n", text.c_str());
    });

    Transcoder engine;
    int outputs = 0;
    if (!ApplyArguments(engine, argc, argv, outputs, errorsLogged)) {
        return 1;
    }
    if (outputs == 0) {
        std::fputs("At least one output file must be specified\n", stderr);
        return 1;
    }
    engine.SetProgressCallback(
        [&reportShown](Transcoder& running, const quillo::converter::ProgressReport& report) {
            std::fprintf(stderr, "%s\r", report.line.c_str());
            reportShown = true;
            if (interrupted.load()) {
                running.StopConvert(false);
            }
        });
    engine.StartConvert(false);
    if (reportShown) {
        std::fputc('\n', stderr);
    }
    // A failure's message has gone to the log, and so to the terminal, already.
    return engine.Finished() && !engine.Failed() ? 0 : 1;
}
