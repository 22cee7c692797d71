#include "session/navigation.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/tree_builder.h"

namespace tb {
namespace {

using test::TreeBuilder;

// A move and where it leaves focus, Back and Forward ("" is no node; the
// trails list paths, the next step last).
struct Step {
    enum Kind { enter, back, forward, up } kind;
    std::string folder; // for enter
    std::string focus;
    std::vector<std::string> trail, ahead;
};

std::vector<std::string> pathsOf(const std::vector<const ScanNode*>& nodes) {
    std::vector<std::string> out;
    for (const ScanNode* n : nodes)
        out.emplace_back(n->path());
    return out;
}

class NavigationSteps : public ::testing::Test {
protected:
    NavigationSteps() : b("/r") {
        b.dir("/r/a/b/c");
        b.file("/r/a/b/f", 1);
        b.dir("/r/ab");
        b.dir("/r/d");
        root = b.root();
    }
    const ScanNode* shown() const { return nav.focus() ? nav.focus() : root; }
    void run(const std::vector<Step>& steps) {
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const Step& s = steps[i];
            switch (s.kind) {
            case Step::enter: nav.enter(shown(), b.at(s.folder)); break;
            case Step::back: nav.back(shown(), root); break;
            case Step::forward: nav.forwardFrom(shown()); break;
            case Step::up: {
                const auto chain = Navigation::ancestors(root, shown());
                if (!chain.empty()) nav.enter(shown(), chain.back());
                break;
            }
            }
            EXPECT_EQ(nav.focus() ? std::string(nav.focus()->path()) : "", s.focus) << "step " << i;
            EXPECT_EQ(pathsOf(nav.trail()), s.trail) << "step " << i;
            EXPECT_EQ(pathsOf(nav.forward()), s.ahead) << "step " << i;
        }
    }
    TreeBuilder b;
    const ScanNode* root = nullptr;
    Navigation nav;
};

TEST_F(NavigationSteps, BackAndForwardRetraceAndANewMoveForgetsForward) {
    run({
        {Step::enter, "/r/a", "/r/a", {"/r"}, {}},
        {Step::enter, "/r/a/b", "/r/a/b", {"/r", "/r/a"}, {}},
        {Step::back, "", "/r/a", {"/r"}, {"/r/a/b"}},
        {Step::back, "", "/r", {}, {"/r/a/b", "/r/a"}},
        // An empty trail goes home and changes nothing else.
        {Step::back, "", "/r", {}, {"/r/a/b", "/r/a"}},
        {Step::forward, "", "/r/a", {"/r"}, {"/r/a/b"}},
        {Step::enter, "/r/d", "/r/d", {"/r", "/r/a"}, {}},
        {Step::forward, "", "/r/d", {"/r", "/r/a"}, {}},
        // Entering the folder on display adds no step.
        {Step::enter, "/r/d", "/r/d", {"/r", "/r/a"}, {}},
    });
}

TEST_F(NavigationSteps, UpClimbsOneFolderAtATimeAndStopsAtTheRoot) {
    run({
        {Step::enter, "/r/a/b/c", "/r/a/b/c", {"/r"}, {}},
        {Step::up, "", "/r/a/b", {"/r", "/r/a/b/c"}, {}},
        {Step::up, "", "/r/a", {"/r", "/r/a/b/c", "/r/a/b"}, {}},
        {Step::up, "", "/r", {"/r", "/r/a/b/c", "/r/a/b", "/r/a"}, {}},
        {Step::up, "", "/r", {"/r", "/r/a/b/c", "/r/a/b", "/r/a"}, {}},
    });
}

TEST_F(NavigationSteps, AncestorsFollowFolderPrefixesOnly) {
    const std::map<std::string, std::vector<std::string>> cases = {
        {"/r", {}},
        {"/r/ab", {"/r"}},
        {"/r/a/b/f", {"/r", "/r/a", "/r/a/b"}},
        {"/r/a/b/c", {"/r", "/r/a", "/r/a/b"}},
    };
    for (const auto& [path, chain] : cases)
        EXPECT_EQ(pathsOf(Navigation::ancestors(root, b.at(path))), chain) << path;
    TreeBuilder other("/elsewhere");
    EXPECT_TRUE(Navigation::ancestors(root, other.dir("/elsewhere/x")).empty());
    EXPECT_TRUE(Navigation::ancestors(nullptr, root).empty());
}

TEST_F(NavigationSteps, RemapKeepsWhatWasCopiedAndFallsBackForTheRest) {
    run({{Step::enter, "/r/a", "/r/a", {"/r"}, {}},
         {Step::enter, "/r/a/b/c", "/r/a/b/c", {"/r", "/r/a"}, {}},
         {Step::back, "", "/r/a", {"/r"}, {"/r/a/b/c"}}});
    TreeBuilder copy("/r");
    copy.dir("/r/a/b");
    // "/r/a/b/c" has no copy: it leaves Forward. The focus keeps its copy.
    const auto copyOf = [&](const ScanNode* n) -> const ScanNode* {
        return copy.at(std::string(n->path()));
    };
    nav.remap(copyOf, copy.root());
    EXPECT_EQ(nav.focus(), copy.at("/r/a"));
    EXPECT_EQ(pathsOf(nav.trail()), std::vector<std::string>{"/r"});
    EXPECT_EQ(nav.trail().front(), copy.root());
    EXPECT_TRUE(nav.forward().empty());

    // A focus without a copy goes to its nearest copied ancestor, else root.
    nav.setFocus(b.at("/r/a/b/c"));
    nav.remap(copyOf, copy.root());
    EXPECT_EQ(nav.focus(), copy.at("/r/a/b"));
    nav.setFocus(b.at("/r/d"));
    nav.remap([](const ScanNode*) -> const ScanNode* { return nullptr; }, copy.root());
    EXPECT_EQ(nav.focus(), copy.root());
    EXPECT_TRUE(nav.trail().empty());
}

} // namespace
} // namespace tb
