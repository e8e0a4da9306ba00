#include "cli/batch_progress_printer.h"

#include <filesystem>

namespace quillo::cli {

std::string ClockText(std::int64_t microseconds) {
    if (microseconds < 0) {
        return "--:--:--";
    }
    const std::int64_t seconds = microseconds / 1'000'000;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

BatchProgressPrinter::BatchProgressPrinter(const app::JobList& jobs,
                                           const app::BatchController& batch, std::FILE* out,
                                           bool terminal)
    : jobs_(jobs), batch_(batch), out_(out), terminal_(terminal) {}

std::string BatchProgressPrinter::JobName(int row) const {
    if (row < 0 || row >= jobs_.RowCount()) {
        return {};
    }
    return std::filesystem::path(jobs_.Row(row).Caption()).filename().string();
}

void BatchProgressPrinter::BatchStarted(int tasks) {
    tasks_ = tasks;
}

void BatchProgressPrinter::ProgressReported(int task, int row,
                                            const converter::ProgressInfo& info) {
    const std::optional<int> percent =
        app::ProgressPercent(info.CurrentDuration, info.TotalDuration);
    auto [entry, added] = running_.try_emplace(task);
    Running& job = entry->second;
    if (added) {
        job.started = Clock::now();
        job.startTime = info.CurrentDuration;
    }
    // The pace since the first report: media microseconds per second of wall time.
    const double elapsed = std::chrono::duration<double>(Clock::now() - job.started).count();
    const double done = static_cast<double>(info.CurrentDuration - job.startTime);
    std::string timeLeft = "--:--:--";
    if (info.TotalDuration > 0 && done > 0 && elapsed > 0.5) {
        const double rate = done / elapsed;
        timeLeft =
            ClockText(static_cast<std::int64_t>(static_cast<double>(std::max<std::int64_t>(
                                                    info.TotalDuration - info.CurrentDuration, 0)) /
                                                rate));
    }
    char text[512];
    std::snprintf(text, sizeof text, "[%d/%d] %3s %s / %s  %lld kB  %s  left %s  %s", task + 1,
                  tasks_, percent ? (std::to_string(*percent) + "%").c_str() : "--%",
                  ClockText(info.CurrentDuration).c_str(), ClockText(info.TotalDuration).c_str(),
                  static_cast<long long>(info.TotalSize / 1000),
                  info.FPS >= 0 ? (std::to_string(info.FPS) + " fps").c_str() : "-- fps",
                  timeLeft.c_str(), JobName(row).c_str());
    job.line = text;
    if (terminal_) {
        DrawLive();
        return;
    }
    const int tenth = percent ? *percent / 10 : 0;
    if (tenth > job.lastPrintedTenth) {
        job.lastPrintedTenth = tenth;
        std::fprintf(out_, "%s\n", job.line.c_str());
        std::fflush(out_);
    }
}

void BatchProgressPrinter::JobEnded(int task, int row, bool finished, const std::string& error) {
    running_.erase(task);
    const std::string source = row >= 0 && row < jobs_.RowCount() ? jobs_.Row(row).Caption() : "";
    char counter[32];
    std::snprintf(counter, sizeof counter, "[%d/%d]", task + 1, tasks_);
    if (finished) {
        ++converted_;
        const app::JobRecord* record = batch_.TaskRecord(task);
        const std::string output = record != nullptr ? record->OutputFile.string() : "";
        PrintLine(std::string(counter) + " converted " + source + " -> " + output);
    } else if (!error.empty()) {
        ++failed_;
        PrintLine(std::string(counter) + " failed " + source + ": " + error);
    } else {
        ++failed_;
        const app::JobRecord* record = batch_.TaskRecord(task);
        std::error_code missing;
        const bool kept = record != nullptr && std::filesystem::exists(record->OutputFile, missing);
        PrintLine(std::string(counter) + " stopped " + source +
                  (kept ? " (the output is finished up to where it got)"
                        : " before it wrote anything: no output was kept"));
    }
}

void BatchProgressPrinter::BatchEnded(const app::BatchSummary& summary) {
    running_.clear();
    DrawLive();
    ended_ = true;
    cancelled_ = summary.Cancelled;
}

void BatchProgressPrinter::PrintLine(const std::string& line) {
    if (terminal_ && liveLines_ > 0) {
        std::fprintf(out_, "\x1b[%dF\x1b[J", liveLines_);  // up to the block, clear below
        liveLines_ = 0;
    }
    std::fprintf(out_, "%s\n", line.c_str());
    if (terminal_) {
        DrawLive();
    }
    std::fflush(out_);
}

void BatchProgressPrinter::DrawLive() {
    if (!terminal_) {
        return;
    }
    if (liveLines_ > 0) {
        std::fprintf(out_, "\x1b[%dF", liveLines_);
    }
    for (const auto& [task, job] : running_) {
        std::fprintf(out_, "\x1b[2K%s\n", job.line.c_str());
    }
    std::fputs("\x1b[J", out_);
    liveLines_ = static_cast<int>(running_.size());
    std::fflush(out_);
}

}  // namespace quillo::cli
