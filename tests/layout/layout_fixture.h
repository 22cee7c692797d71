// Small trees and ranked child lists for the layout tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "layout/geometry.h"
#include "scan/size_ranking.h"
#include "support/tree_builder.h"

namespace tb::test {

// Anonymous nodes built bottom-up.
class Nodes {
public:
    ScanNode* file(std::int64_t bytes, const std::string& name = "") {
        const std::string n = name.empty() ? fresh('f') : name;
        return tree_.file(pathOf(n), {.allocatedSize = bytes});
    }
    // The folder's size is the sum of its children's, as after a rollup.
    ScanNode* folder(const std::vector<ScanNode*>& children, const std::string& name = "") {
        const std::string n = name.empty() ? fresh('d') : name;
        std::int64_t bytes = 0;
        for (auto* c : children)
            bytes += c->allocatedSize();
        ScanNode* d = tree_.dir(pathOf(n), children);
        d->setAllocatedSize(bytes);
        return d;
    }
    // Visible files of these sizes in this order, plus a bucket.
    RankedChildren ranked(const std::vector<std::int64_t>& bytes, int otherCount = 0,
                          std::int64_t otherBytes = 0) {
        RankedChildren r;
        for (auto b : bytes)
            r.visible.push_back(file(b));
        r.otherCount = otherCount;
        r.otherBytes = otherBytes;
        return r;
    }

private:
    // Built by appending: GCC 12 warns falsely (-Wrestrict) on "x" + string.
    std::string fresh(char prefix) {
        std::string n(1, prefix);
        n.append(std::to_string(count_++));
        return n;
    }
    static std::string pathOf(const std::string& name) {
        std::string p("/t/");
        p.append(name);
        return p;
    }

    TreeBuilder tree_;
    int count_ = 0;
};

inline bool apart(const Rect& a, const Rect& b) {
    return a.x + a.width <= b.x || b.x + b.width <= a.x || a.y + a.height <= b.y ||
           b.y + b.height <= a.y;
}

class LayoutTest : public ::testing::Test {
protected:
    Nodes nodes;
};

} // namespace tb::test
