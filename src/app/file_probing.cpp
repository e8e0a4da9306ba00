#include "app/file_probing.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

#include "converter/converter.h"
#include "media/main_thread.h"

namespace quillo::app {

namespace {

ProbeOutcome ProbeWith(converter::Converter& converter, const std::filesystem::path& file) {
    const int task = converter.AddTask(file);
    if (task < 0) {
        return std::nullopt;
    }
    media::MediaProbe* probe = converter.Probes(task, 0);
    const std::int64_t duration = probe != nullptr ? probe->GetFileInfo().Duration : -1;
    converter.RemoveTask(task);
    converter.ClearTasks();
    return duration;
}

}  // namespace

int DefaultProbeWorkers() {
    const unsigned hardware = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(hardware, 1U, 4U));
}

std::vector<ProbeOutcome> ProbeFiles(const std::vector<std::filesystem::path>& files,
                                     int workerCount) {
    std::vector<ProbeOutcome> outcomes(files.size());
    if (files.empty()) {
        return outcomes;
    }
    const std::size_t workers =
        std::min(files.size(), static_cast<std::size_t>(std::max(workerCount, 1)));
    std::atomic<std::size_t> next = 0;
    std::atomic<std::size_t> finished = 0;
    std::mutex errorMutex;
    std::exception_ptr error;

    const auto work = [&] {
        try {
            converter::Converter converter;
            for (std::size_t index = next++; index < files.size(); index = next++) {
                outcomes[index] = ProbeWith(converter, files[index]);
            }
        } catch (...) {
            std::scoped_lock lock(errorMutex);
            error = error ? error : std::current_exception();
            next = files.size();  // the others stop at their next file
        }
        ++finished;
        media::NotifyMainThread();
    };

    std::vector<std::thread> threads;
    threads.reserve(workers);
    try {
        while (threads.size() < workers) {
            threads.emplace_back(work);
        }
    } catch (const std::system_error&) {
        // Fewer threads than asked for: those that started share the files.
    }
    if (threads.empty()) {
        work();
    } else if (media::IsMainThread()) {
        // A worker's library messages may wait for the main thread.
        media::PumpMessagesUntil([&] { return finished.load() == threads.size(); });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    if (error) {
        std::rethrow_exception(error);
    }
    return outcomes;
}

}  // namespace quillo::app
