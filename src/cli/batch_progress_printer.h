#pragma once

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "app/batch_controller.h"
#include "app/job_list.h"

namespace quillo::cli {

// What quillo-convert shows of a batch. On a terminal, one line per running job, rewritten
// in place as it goes (job k/n, percent, time, length, size, speed, time left); otherwise
// plain lines at every tenth of a job. Each end, failure and the summary get lines of their
// own.
class BatchProgressPrinter final : public app::BatchObserver {
public:
    BatchProgressPrinter(const app::JobList& jobs, const app::BatchController& batch,
                         std::FILE* out, bool terminal);

    void BatchStarted(int tasks) override;
    void ProgressReported(int task, int row, const converter::ProgressInfo& info) override;
    void JobEnded(int task, int row, bool finished, const std::string& error) override;
    void BatchEnded(const app::BatchSummary& summary) override;

    int Failed() const { return failed_; }
    int Converted() const { return converted_; }
    bool Ended() const { return ended_; }
    bool Cancelled() const { return cancelled_; }

private:
    struct Running {
        std::string line;
        int lastPrintedTenth = -1;
        std::chrono::steady_clock::time_point started;  // of the first report
        std::int64_t startTime = 0;                     // microseconds of media then
    };
    using Clock = std::chrono::steady_clock;

    // Prints a finished line above the live block and draws the block again.
    void PrintLine(const std::string& line);
    void DrawLive();
    std::string JobName(int row) const;

    const app::JobList& jobs_;
    const app::BatchController& batch_;
    std::FILE* out_;
    bool terminal_;
    int tasks_ = 0;
    std::map<int, Running> running_;  // by task
    int liveLines_ = 0;               // lines of the live block now on the terminal
    int failed_ = 0;
    int converted_ = 0;
    bool ended_ = false;
    bool cancelled_ = false;
};

// "01:02:03" for a time in microseconds; "--:--:--" for a negative one.
std::string ClockText(std::int64_t microseconds);

}  // namespace quillo::cli
