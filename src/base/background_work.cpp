#include "base/background_work.h"

#include <condition_variable>
#include <mutex>

namespace tb::BackgroundWork {
namespace {

struct Count {
    std::mutex mutex;
    std::condition_variable idle;
    int running = 0;
};

// Never destroyed: a detached thread may finish after static destructors ran.
Count& count() {
    static auto* c = new Count;
    return *c;
}

} // namespace

Running::Running() {
    std::lock_guard lock(count().mutex);
    ++count().running;
}

Running::~Running() {
    Count& c = count();
    std::lock_guard lock(c.mutex);
    if (--c.running == 0) c.idle.notify_all();
}

bool waitIdle(std::chrono::milliseconds limit) {
    Count& c = count();
    std::unique_lock lock(c.mutex);
    return c.idle.wait_for(lock, limit, [&] { return c.running == 0; });
}

} // namespace tb::BackgroundWork
