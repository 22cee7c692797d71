#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "base/path.h"
#include "base/tree.h"

namespace tb {
namespace {

TEST(PathTrimmedSlashes, DropsTrailingSlashesButKeepsTheRoot) {
    const std::pair<const char*, const char*> cases[] = {
        {"/a/b", "/a/b"}, {"/a/b/", "/a/b"}, {"/a//", "/a"}, {"/", "/"},
        {"///", "/"},     {"", ""},          {"a/", "a"},    {"/a/./", "/a/."},
    };
    for (auto [in, out] : cases)
        EXPECT_EQ(Path::trimmedSlashes(in), out) << '"' << in << '"';
    // The parent of a path with trailing slashes is that of the trimmed path.
    EXPECT_EQ(Path::parent("/a/b//"), "/a");
    EXPECT_EQ(Path::parent("//"), "/");
}

struct Node {
    int id;
    std::vector<Node*> kids;
    std::span<Node* const> children() const { return kids; }
};

std::vector<int> idsOf(const std::vector<const Node*>& nodes) {
    std::vector<int> ids;
    for (const Node* n : nodes)
        ids.push_back(n->id);
    return ids;
}

TEST(TreeWalk, EachNodeBeforeItsDescendantsAndDeepChainsNeedNoRecursion) {
    Node d{4, {}}, c{3, {}}, b{2, {&d}}, a{1, {&b, &c}};
    EXPECT_EQ(idsOf(Tree::flattened<const Node>(&a)), (std::vector<int>{1, 3, 2, 4}));
    EXPECT_EQ(idsOf(Tree::flattened<const Node>(&d)), (std::vector<int>{4}));

    // A chain far deeper than a call stack would allow.
    std::vector<Node> chain(200'000);
    for (std::size_t i = 0; i + 1 < chain.size(); ++i) {
        chain[i].id = int(i);
        chain[i].kids = {&chain[i + 1]};
    }
    int visited = 0;
    Tree::preorder<const Node>(&chain[0], [&](const Node*) { ++visited; });
    EXPECT_EQ(visited, int(chain.size()));
}

} // namespace
} // namespace tb
