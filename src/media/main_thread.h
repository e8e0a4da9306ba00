#pragma once

#include <chrono>
#include <functional>

namespace quillo::media {

// The main thread is the thread that started the process. Calls from media threads that must
// run there (event handlers) are queued and run by PumpMessages; a front end with its own
// event loop installs a wake-up hook so that the loop pumps them promptly.

bool IsMainThread();

// Runs call on the main thread and waits until it has run; on the main thread, runs it
// directly. An exception thrown by call reaches the caller. The main thread must keep
// pumping while a media thread it waits for may call this.
void CallInMainThread(const std::function<void()>& call);

// Queues call for the main thread and returns at once; on the main thread, runs it directly.
// For work whose caller must not wait, such as delivering a log line from a thread that may
// hold a lock the main thread is waiting for. An exception thrown by call is dropped.
void PostToMainThread(std::function<void()> call);

// Runs every call queued for the main thread, including calls queued while it runs.
// Returns how many ran. Only the main thread may pump.
int PumpMessages();

// Pumps until done() holds. done() is checked after each pump and whenever
// NotifyMainThread() is called, so whoever changes what done() reads must notify.
void PumpMessagesUntil(const std::function<bool()>& done);
// The same, giving up after limit: true when done() held.
bool PumpMessagesFor(std::chrono::milliseconds limit, const std::function<bool()>& done);

// Wakes a main thread waiting in PumpMessagesUntil to check its condition again.
void NotifyMainThread();

// Called, on the posting thread, every time a call is queued for the main thread.
void SetMainThreadWakeUp(std::function<void()> wakeUp);

}  // namespace quillo::media
