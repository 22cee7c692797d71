// Scans a folder through a session and waits until the scan's forest and its
// post-scan analyses (with the stored record) are published.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "session/app_session.h"
#include "support/event_loop.h"

namespace tb::test {

inline void scanAndWait(AppSession& session, const std::string& root) {
    const auto before = session.history().size();
    session.setScanRoot(root);
    session.startScan();
    ASSERT_TRUE(waitUntil([&] { return !session.isScanning(); }));
    ASSERT_TRUE(waitUntil([&] { return session.history().size() == before + 1; }));
}

} // namespace tb::test
