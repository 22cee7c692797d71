#include <gtest/gtest.h>

#include "scan/node_arena.h"

namespace tb {
namespace {

TEST(ScanNode, Placeholder) {
    NodeArena arena;
    auto* n = arena.make({.path = "/a", .name = "a", .isDirectory = true});
    EXPECT_EQ(n->name(), "a");
}

} // namespace
} // namespace tb
