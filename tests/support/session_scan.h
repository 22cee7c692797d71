// Scans a folder through a session and waits until the scan's forest and its
// post-scan analyses (with the stored record) are published.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>

#include "scan/forest_edit.h"
#include "session/app_session.h"
#include "support/event_loop.h"
#include "support/temp_dir.h"

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

// Every node by path: its allocated and logical bytes, whether a folder, and
// whether and why it was left out.
inline auto entriesOf(const ScanForest& forest) {
    std::map<std::string, std::tuple<std::int64_t, std::int64_t, bool, LeftOutKind>> out;
    for (const ScanNode* n : forest.nodes())
        out[n->path()] = {n->allocatedSize(), n->logicalSize(), n->isDirectory(), n->leftOut()};
    return out;
}

// A session in a temporary home; tests put their files in work().
class SessionInHome : public testing::Test {
protected:
    std::string work() const { return home.home() + "/work"; }
    const ScanNode* node(const std::string& path) const {
        return ForestEdit::nodeAt(*session->forest(), path);
    }
    void scan(const std::string& root) { scanAndWait(*session, root); }

    TempHome home;
    std::unique_ptr<AppSession> session = std::make_unique<AppSession>();
};

} // namespace tb::test
