#include "analysis/cleanup_catalog.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "support/tree_builder.h"

namespace tb {
namespace {

using test::TreeBuilder;

struct DescriptorCase {
    std::string path;
    std::string owner; // "" for no descriptor
    CleanupRisk risk = CleanupRisk::safe;
};

TEST(CleanupCatalog, DescriptorRulesInOrder) {
    const std::vector<DescriptorCase> cases = {
        {"/Users/a/Library/Developer/Xcode/DerivedData", "Xcode", CleanupRisk::safe},
        {"/h/.npm/_cacache", "Package manager", CleanupRisk::safe},
        {"/h/.cache/pnpm", "Package manager", CleanupRisk::safe},
        {"/h/.cache/yarn/v6", "Package manager", CleanupRisk::safe},
        {"/p/node_modules", "Developer project", CleanupRisk::review},
        {"/p/DerivedData", "Developer project", CleanupRisk::review},
        {"/p/NODE_MODULES", "Developer project", CleanupRisk::review},
        {"/h/.ollama/models", "Local AI model", CleanupRisk::caution},
        {"/h/.cache/huggingface", "Local AI model", CleanupRisk::caution},
        {"/h/weights/model.GGUF", "Local AI model", CleanupRisk::caution},
        {"/h/Library/Caches/com.example", "Application cache", CleanupRisk::review},
        // Rule 1 before rule 5; rule 5 before rules 6 and 9.
        {"/h/Library/Developer/Xcode/DerivedData/node_modules", "Xcode", CleanupRisk::safe},
        {"/h/Library/Caches/x/node_modules", "Developer project", CleanupRisk::review},
        {"/h/.ollama/models/coverage", "Developer project", CleanupRisk::review},
        // Near misses.
        {"/h/Library/Caches", ""},
        {"/h/.cache/HuggingFace", ""},
        {"/h/.cache", ""},
        {"/p/node_modules_old", ""},
        {"/p/my.gguf.bak", ""},
        {"/h/.ollama", ""},
    };
    for (const auto& c : cases) {
        const auto slash = c.path.rfind('/');
        const auto d =
            CleanupCatalog::descriptor(c.path, std::string_view(c.path).substr(slash + 1));
        if (c.owner.empty()) {
            EXPECT_FALSE(d) << c.path;
            continue;
        }
        ASSERT_TRUE(d) << c.path;
        EXPECT_EQ(d->owner, c.owner) << c.path;
        EXPECT_EQ(d->risk, c.risk) << c.path;
    }
}

TEST(CleanupCatalog, ListsFoldersStrictlyAboveOneMillionBytes) {
    TreeBuilder t("/r");
    EXPECT_TRUE(CleanupCatalog::candidates(t.nodes()).empty());
    t.dir("/r/x/__pycache__", 1'000'000);
    t.dir("/r/y/__pycache__", 1'000'001);
    t.file("/r/model.gguf", 50'000'000); // files are never candidates
    t.file("/r/node_modules", 50'000'000);
    EXPECT_EQ(
        CleanupCatalog::candidates(t.nodes()),
        (std::vector<CleanupCandidate>{
            {"/r/y/__pycache__", "__pycache__", "/r/y/__pycache__", 1'000'001, "Developer project",
             "Generated dependencies or build output; rebuilding may require time or "
             "network.",
             "Folder name is a recognized generated-output category.", CleanupRisk::review,
             true}}));
}

TEST(CleanupCatalog, KeepsOnlyTheOutermostOfNestedMatches) {
    TreeBuilder t("/r");
    t.dir("/r/p/__pycache__", 9'000'000);
    t.dir("/r/p/__pycache__/a/__pycache__", 5'000'000);
    // A cache folder holding a project's dependencies: the cache folder wins.
    t.dir("/r/h/Library/Caches/tool", 8'000'000);
    t.dir("/r/h/Library/Caches/tool/__pycache__", 8'000'000);
    // A sibling whose name extends a retained one is not inside it.
    t.dir("/r/p/pycache2/__pycache__", 2'000'000);
    const auto c = CleanupCatalog::candidates(t.nodes());
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c[0].id, "/r/p/__pycache__");
    EXPECT_EQ(c[1].id, "/r/h/Library/Caches/tool");
    EXPECT_EQ(c[1].owner, "Application cache");
    EXPECT_EQ(c[2].id, "/r/p/pycache2/__pycache__");
}

TEST(CleanupCatalog, EqualSizesPutFewerComponentsFirstThenNodeOrder) {
    TreeBuilder t("/r");
    t.dir("/r/deep/er/__pycache__", 3'000'000);
    t.dir("/r/b/coverage", 3'000'000);
    t.dir("/r/a/__pycache__", 3'000'000);
    const auto c = CleanupCatalog::candidates(t.nodes());
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c[0].id, "/r/b/coverage");
    EXPECT_EQ(c[1].id, "/r/a/__pycache__");
    EXPECT_EQ(c[2].id, "/r/deep/er/__pycache__");
}

TEST(CleanupCatalog, HuggingFaceCacheInHomeIsAModel) {
    TreeBuilder t("/home/u");
    t.dir("/home/u/.cache/huggingface", 7'000'000);
    ScanForest forest(t.tree(), 0, 3, ScanContext::make("/home/u", std::nullopt, true));
    const auto c = CleanupCatalog::candidates(forest);
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].id, "/home/u/.cache/huggingface");
    EXPECT_EQ(c[0].owner, "Local AI model");
    EXPECT_EQ(c[0].risk, CleanupRisk::caution);
}

} // namespace
} // namespace tb
