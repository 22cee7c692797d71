// The files of a forest, read through its node list rather than kept as a
// second list of a million pointers: iterating skips the folders.
#pragma once

#include <cstddef>
#include <iterator>
#include <vector>

#include "scan/scan_node.h"

namespace tb {

class FileList {
public:
    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = const ScanNode*;
        using difference_type = std::ptrdiff_t;
        using pointer = const ScanNode* const*;
        using reference = const ScanNode* const&;

        Iterator() = default;
        Iterator(const ScanNode* const* at, const ScanNode* const* end) : at_(at), end_(end) {
            skipFolders();
        }
        reference operator*() const { return *at_; }
        Iterator& operator++() {
            ++at_;
            skipFolders();
            return *this;
        }
        Iterator operator++(int) {
            Iterator old = *this;
            ++*this;
            return old;
        }
        bool operator==(const Iterator& o) const { return at_ == o.at_; }

    private:
        void skipFolders() {
            while (at_ != end_ && (*at_)->isDirectory())
                ++at_;
        }
        const ScanNode* const* at_ = nullptr;
        const ScanNode* const* end_ = nullptr;
    };

    FileList() = default;
    FileList(const std::vector<const ScanNode*>& nodes, std::size_t count)
        : nodes_(&nodes), count_(count) {}

    Iterator begin() const {
        if (!nodes_) return {};
        return {nodes_->data(), nodes_->data() + nodes_->size()};
    }
    Iterator end() const {
        if (!nodes_) return {};
        const auto* e = nodes_->data() + nodes_->size();
        return {e, e};
    }
    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }

private:
    const std::vector<const ScanNode*>* nodes_ = nullptr;
    std::size_t count_ = 0;
};

} // namespace tb
