// Scans a folder through a session and waits until the scan's forest and its
// post-scan analyses (with the stored record) are published.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "session/app_session.h"
#include "support/event_loop.h"

namespace tb::test {

// The new record comes first in the history; older scans of the root past
// the number kept may leave it at the same time.
inline void scanAndWait(AppSession& session, const std::string& root) {
    const std::string front =
        session.history().empty() ? std::string() : session.history().front().fileURL;
    session.setScanRoot(root);
    session.startScan();
    ASSERT_TRUE(waitUntil([&] { return !session.isScanning(); }));
    ASSERT_TRUE(waitUntil(
        [&] { return !session.history().empty() && session.history().front().fileURL != front; }));
}

} // namespace tb::test
