// Counts work running on detached threads, so whoever is about to change what
// that work reads (the process environment, in tests) can wait for it to end.
#pragma once

#include <chrono>

namespace tb::BackgroundWork {

// Held by a detached thread for as long as it runs.
class Running {
public:
    Running();
    ~Running();
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;
};

// Waits until no `Running` is alive or `limit` has passed; true when idle.
bool waitIdle(std::chrono::milliseconds limit);

} // namespace tb::BackgroundWork
