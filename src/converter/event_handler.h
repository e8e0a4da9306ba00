#pragma once

#include <functional>
#include <mutex>
#include <utility>

namespace quillo::converter {

template <typename Signature>
class EventHandler;

// An event of a component: a handler that may be assigned or cleared from one thread while
// another thread raises it. Raising takes a copy, so a handler cleared meanwhile still
// completes the call it was given.
template <typename... Arguments>
class EventHandler<void(Arguments...)> {
public:
    using Handler = std::function<void(Arguments...)>;

    EventHandler() = default;
    EventHandler(const EventHandler&) = delete;
    EventHandler& operator=(const EventHandler&) = delete;

    EventHandler& operator=(Handler handler) {
        std::scoped_lock lock(mutex_);
        handler_ = std::move(handler);
        return *this;
    }

    explicit operator bool() const {
        std::scoped_lock lock(mutex_);
        return static_cast<bool>(handler_);
    }

    Handler Get() const {
        std::scoped_lock lock(mutex_);
        return handler_;
    }

private:
    mutable std::mutex mutex_;
    Handler handler_;
};

}  // namespace quillo::converter
