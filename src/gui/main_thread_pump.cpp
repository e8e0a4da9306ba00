#include "gui/main_thread_pump.h"

#include <QCoreApplication>
#include <QObject>
#include <atomic>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "media/main_thread.h"

namespace quillo::gui {

namespace {

constexpr const char* kPumpName = "quilloMainThreadPump";

// What the wake-up, running on any thread, shares with the pump on the main thread.
struct WakeUpTarget {
    std::mutex mutex;
    QObject* receiver = nullptr;  // null once the pump is gone
    // One wake-up in flight is enough: the pump runs every call queued until then.
    std::atomic<bool> pending{false};
};

class MainThreadPump : public QObject {
public:
    explicit MainThreadPump(QObject* parent) : QObject(parent) {
        setObjectName(kPumpName);
        target_->receiver = this;
        media::SetMainThreadWakeUp([target = target_] {
            if (target->pending.exchange(true)) {
                return;
            }
            std::scoped_lock lock(target->mutex);
            if (target->receiver == nullptr) {
                return;
            }
            QMetaObject::invokeMethod(
                target->receiver,
                [target] {
                    // Cleared before pumping, so a call queued while pumping wakes us again.
                    target->pending.store(false);
                    media::PumpMessages();
                },
                Qt::QueuedConnection);
        });
    }

    ~MainThreadPump() override {
        media::SetMainThreadWakeUp({});
        // A wake-up that copied the hook before it was removed must not reach this object.
        std::scoped_lock lock(target_->mutex);
        target_->receiver = nullptr;
    }

    MainThreadPump(const MainThreadPump&) = delete;
    MainThreadPump& operator=(const MainThreadPump&) = delete;

private:
    std::shared_ptr<WakeUpTarget> target_ = std::make_shared<WakeUpTarget>();
};

}  // namespace

void InstallMainThreadPump() {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr || !media::IsMainThread()) {
        throw std::logic_error("the main-thread pump needs the application, on the main thread");
    }
    if (application->findChild<QObject*>(kPumpName, Qt::FindDirectChildrenOnly) == nullptr) {
        // A child of the application: destroyed with it, which removes the wake-up.
        new MainThreadPump(application);
    }
    // Calls queued before the pump existed would otherwise wait for the next wake-up.
    media::PumpMessages();
}

}  // namespace quillo::gui
