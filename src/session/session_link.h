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

namespace tb {

template <typename Session>
class SessionLink {
public:
    explicit SessionLink(Session* session) : session_(session) {}

    void post(std::function<void(Session&)> call) {
        std::lock_guard lock(mutex_);
        if (!session_) return;
        QPointer<Session> weak(session_);
        QMetaObject::invokeMethod(
            session_,
            [weak, call = std::move(call)] {
                if (weak) call(*weak);
            },
            Qt::QueuedConnection);
    }

    void cut() {
        std::lock_guard lock(mutex_);
        session_ = nullptr;
    }

private:
    std::mutex mutex_;
    Session* session_;  // guarded by mutex_
};

} // namespace tb
