// How background work reaches the session without holding it: a shared link
// that the session cuts when it goes away. Posting is thread-safe; the posted
// call runs later on the session's (interface) thread, and not at all once the
// session is gone.
#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <mutex>

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#endif

namespace tb {

// Qt queues the call through its own (uninstrumented) locks, so
// ThreadSanitizer cannot see that everything the worker did before posting
// happens before the call runs. These two tell it; they cost nothing in
// other builds. What Qt itself writes into the queued event after the
// release is covered by cmake/tsan.supp.
inline void announceHandOff([[maybe_unused]] void* key) {
#if defined(__SANITIZE_THREAD__)
    __tsan_release(key);
#endif
}
inline void receiveHandOff([[maybe_unused]] void* key) {
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(key);
#endif
}

template <typename Session>
class SessionLink {
public:
    explicit SessionLink(Session* session) : session_(session) {}

    void post(std::function<void(Session&)> call) {
        std::lock_guard lock(mutex_);
        if (!session_) return;
        QPointer<Session> weak(session_);
        auto shared = std::make_shared<std::function<void(Session&)>>(std::move(call));
        announceHandOff(shared.get());
        // The event holds the only reference, so the call and whatever it
        // carries are destroyed on the session's thread, after it ran.
        QMetaObject::invokeMethod(
            session_,
            [weak, shared = std::move(shared)] {
                receiveHandOff(shared.get());
                if (weak) (*shared)(*weak);
            },
            Qt::QueuedConnection);
    }

    void cut() {
        std::lock_guard lock(mutex_);
        session_ = nullptr;
    }

private:
    std::mutex mutex_;
    Session* session_; // not owned; guarded by mutex_
};

} // namespace tb
