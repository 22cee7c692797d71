#include <gtest/gtest.h>

#include "session/app_session.h"
#include "store/index_search.h"
#include "support/event_loop.h"
#include "support/session_scan.h"
#include "support/temp_dir.h"

namespace tb {
namespace {

using namespace tb::test;

// work/pkg/typescript (a big folder), work/docs/typescript.md (a small
// file of the same name), work/pkg/typescript/lib/a.js (deep).
class ExploreNavigation : public testing::Test {
protected:
    void SetUp() override {
        makeDirs(work() + "/pkg/typescript/lib");
        makeDirs(work() + "/docs");
        writeSizedFile(work() + "/docs/typescript.md", 2000, 1);
        writeSizedFile(work() + "/pkg/typescript/lib/a.js", 400'000, 2);
        writeSizedFile(work() + "/pkg/typescript/lib/b.js", 300'000, 3);
        writeSizedFile(work() + "/pkg/other.js", 100'000, 4);
        session = std::make_unique<AppSession>();
        scanAndWait(*session, work());
    }
    std::string work() const { return home.home() + "/work"; }
    const ScanNode* node(std::string_view relative) const {
        const std::string path = work() + "/" + std::string(relative);
        for (const ScanNode* n : session->forest()->nodes()) {
            if (n->path() == path) return n;
        }
        ADD_FAILURE() << "no node " << relative;
        return nullptr;
    }
    std::vector<std::string> names(const std::vector<const ScanNode*>& nodes) const {
        std::vector<std::string> out;
        for (const ScanNode* n : nodes)
            out.emplace_back(n->name());
        return out;
    }

    TempHome home;
    std::unique_ptr<AppSession> session;
};

using V = std::vector<std::string>;

TEST_F(ExploreNavigation, SearchRanksNameMatchesBySizeThenPathOnlyMatches) {
    const auto& nodes = session->forest()->nodes();
    // Largest name match first, whatever the tree order; then the contents
    // of the matching folder, largest first.
    EXPECT_EQ(names(IndexSearch::ranked("TypeScript", nodes)),
              (V{"typescript", "typescript.md", "lib", "a.js", "b.js"}));
    EXPECT_EQ(names(IndexSearch::ranked("typescript", nodes, 2)),
              (V{"typescript", "typescript.md"}));
    EXPECT_TRUE(IndexSearch::ranked(" \n", nodes).empty());

    session->setSearchQuery("typescript");
    ASSERT_TRUE(waitUntil([&] { return session->searchHits().size() == 5; }));
    EXPECT_EQ(session->searchHits().front(), node("pkg/typescript"));
}

TEST_F(ExploreNavigation, JumpUpBackAndForwardMoveThroughTheFocusHistory) {
    const ScanNode* root = session->forest()->root();
    const ScanNode* lib = node("pkg/typescript/lib");
    session->dive(lib);
    session->goUp();
    EXPECT_EQ(session->focus(), node("pkg/typescript"));
    EXPECT_EQ(session->selected(), lib); // where we came from
    session->popFocus();
    EXPECT_EQ(session->focus(), lib);
    session->popFocus();
    EXPECT_EQ(session->focus(), root);
    session->goForward();
    EXPECT_EQ(session->focus(), lib);
    session->goForward();
    EXPECT_EQ(session->focus(), node("pkg/typescript"));
    session->goForward(); // nothing further
    EXPECT_EQ(session->focus(), node("pkg/typescript"));

    session->popFocus();
    session->dive(node("docs")); // a new move forgets Forward
    EXPECT_TRUE(session->forwardTrail().empty());
    session->resetFocus();
    session->goUp(); // the root has no parent
    EXPECT_EQ(session->focus(), root);
    // A jump shows a file in its folder; Back returns.
    const ScanNode* file = node("pkg/typescript/lib/a.js");
    EXPECT_EQ(session->ancestors(file),
              (std::vector<const ScanNode*>{root, node("pkg"), node("pkg/typescript"),
                                            node("pkg/typescript/lib")}));
    EXPECT_TRUE(session->ancestors(root).empty());

    session->jumpTo(file);
    EXPECT_EQ(session->focus(), node("pkg/typescript/lib"));
    EXPECT_EQ(session->selected(), file);
    session->popFocus();
    EXPECT_EQ(session->focus(), root);
}

} // namespace
} // namespace tb
