// Adds files to a job list, as the Add command does, and says how many rows it made: the
// job-list benchmark times it against ffprobe run on each file. Settings come from
// QUILLO_CONFIG_DIR, as for the program.

#include <cstdio>
#include <exception>
#include <filesystem>
#include <vector>

#include "app/global_object.h"
#include "app/job_list.h"
#include "cli/terminal_prompter.h"
#include "converter/converter.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: quillo-bench-joblist FILE...\n", stderr);
        return 2;
    }
    try {
        quillo::app::GlobalObject global;
        global.PrepareConfigFolder();
        quillo::converter::Converter converter;
        quillo::cli::TerminalPrompter prompter;
        quillo::app::JobList jobs(converter, global.Files(), prompter);
        const std::vector<std::filesystem::path> files(argv + 1, argv + argc);
        const quillo::app::AddFilesResult result = jobs.AddFiles(files);
        if (!result.LibrariesLoaded) {
            std::fprintf(stderr, "%s\n", result.LibraryError.c_str());
            return 1;
        }
        std::printf("%d rows, %zu skipped\n", jobs.RowCount(), result.Skipped.size());
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}
