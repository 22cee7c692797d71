#include <gtest/gtest.h>

#include "session/app_session.h"
#include "support/tree_builder.h"
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
        putSized(work() + "/docs/typescript.md", 2000, 1);
        putSized(work() + "/pkg/typescript/lib/a.js", 400'000, 2);
        putSized(work() + "/pkg/typescript/lib/b.js", 300'000, 3);
        putSized(work() + "/pkg/other.js", 100'000, 4);
        session = std::make_unique<AppSession>();
        scanAndWait(*session, work());
    }
    std::string work() const { return home.home() + "/work"; }
    const ScanNode* node(std::string_view relative) const {
        return findNode(*session->forest(), work() + "/" + std::string(relative));
    }

    TempHome home;
    std::unique_ptr<AppSession> session;
};

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
