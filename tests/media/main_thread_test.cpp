#include "media/main_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace quillo::media {
namespace {

TEST(MainThreadTest, OnTheMainThreadTheCallRunsDirectly) {
    ASSERT_TRUE(IsMainThread());
    bool ran = false;
    CallInMainThread([&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(PumpMessages(), 0);
}

TEST(MainThreadTest, WorkerWaitsUntilTheMainThreadHasRunTheCall) {
    std::atomic<bool> ranOnMainThread = false;
    std::atomic<bool> sawResult = false;
    std::atomic<bool> workerDone = false;

    std::thread worker([&] {
        EXPECT_FALSE(IsMainThread());
        CallInMainThread([&] { ranOnMainThread = IsMainThread(); });
        // The call has run by the time CallInMainThread returns.
        sawResult = ranOnMainThread.load();
        workerDone = true;
        NotifyMainThread();
    });
    PumpMessagesUntil([&] { return workerDone.load(); });
    worker.join();

    EXPECT_TRUE(ranOnMainThread);
    EXPECT_TRUE(sawResult);
}

TEST(MainThreadTest, AnExceptionOfTheCallReachesTheWorker) {
    std::atomic<bool> caught = false;
    std::atomic<bool> workerDone = false;

    std::thread worker([&] {
        try {
            CallInMainThread([] { throw std::runtime_error("handler failed"); });
        } catch (const std::runtime_error& error) {
            caught = std::string(error.what()) == "handler failed";
        }
        workerDone = true;
        NotifyMainThread();
    });
    PumpMessagesUntil([&] { return workerDone.load(); });
    worker.join();

    EXPECT_TRUE(caught);
}

TEST(MainThreadTest, WakeUpHookRunsForEveryQueuedCall) {
    std::atomic<int> wakeUps = 0;
    SetMainThreadWakeUp([&] { ++wakeUps; });
    std::atomic<int> callsDone = 0;

    std::thread worker([&] {
        for (int i = 0; i < 3; ++i) {
            CallInMainThread([] {});
            ++callsDone;
        }
        NotifyMainThread();
    });
    PumpMessagesUntil([&] { return callsDone.load() == 3; });
    worker.join();
    SetMainThreadWakeUp({});

    EXPECT_EQ(wakeUps, 3);
}

TEST(MainThreadTest, OnlyTheMainThreadPumps) {
    std::atomic<bool> refused = false;
    std::thread worker([&] {
        try {
            PumpMessages();
        } catch (const std::logic_error&) {
            refused = true;
        }
    });
    worker.join();
    EXPECT_TRUE(refused);
}

}  // namespace
}  // namespace quillo::media
