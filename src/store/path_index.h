// An open-addressing map from path bytes to a caller's index, for the million
// lookups of loading and comparing a tree; node-based hash maps spent most of
// that time chasing pointers. The path bytes are not copied: they must outlive
// the index. One thread at a time.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <functional>
#include <string_view>
#include <vector>

namespace tb {

// Path bytes kept for a PathIndex, in blocks that never move.
class PathBytes {
public:
    std::string_view keep(std::string_view path) {
        if (path.size() > room_) {
            const std::size_t size = std::max(kBlock, path.size());
            blocks_.push_back(std::make_unique<char[]>(size));
            next_ = blocks_.back().get();
            room_ = size;
        }
        if (!path.empty()) std::memcpy(next_, path.data(), path.size());
        const std::string_view kept(next_, path.size());
        next_ += path.size();
        room_ -= path.size();
        return kept;
    }

private:
    static constexpr std::size_t kBlock = 1 << 20;
    std::vector<std::unique_ptr<char[]>> blocks_;
    char* next_ = nullptr;
    std::size_t room_ = 0;
};

class PathIndex {
public:
    static constexpr std::uint32_t none = UINT32_MAX;

    explicit PathIndex(std::size_t expected = 0) { rehash(expected); }

    // Maps `path` to `value`; a later assignment to the same path replaces it
    // (and says so).
    bool assign(std::string_view path, std::uint32_t value) {
        if ((size_ + 1) * 2 > slots_.size()) rehash(slots_.size());
        const std::uint64_t h = hashOf(path);
        for (std::size_t i = h & mask_;; i = (i + 1) & mask_) {
            Slot& s = slots_[i];
            if (s.value == none) {
                s = {path.data(), std::uint32_t(path.size()), value, h};
                ++size_;
                return false;
            }
            if (s.hash == h && key(s) == path) {
                s.value = value;
                return true;
            }
        }
    }

    std::uint32_t find(std::string_view path) const {
        const std::uint64_t h = hashOf(path);
        for (std::size_t i = h & mask_;; i = (i + 1) & mask_) {
            const Slot& s = slots_[i];
            if (s.value == none) return none;
            if (s.hash == h && key(s) == path) return s.value;
        }
    }

    bool contains(std::string_view path) const { return find(path) != none; }
    std::size_t size() const { return size_; }

private:
    struct Slot {
        const char* data = nullptr;
        std::uint32_t length = 0;
        std::uint32_t value = none;
        std::uint64_t hash = 0;
    };

    static std::uint64_t hashOf(std::string_view path) {
        return std::hash<std::string_view>{}(path);
    }
    static std::string_view key(const Slot& s) { return {s.data, s.length}; }

    void rehash(std::size_t atLeast) {
        std::size_t capacity = 16;
        while (capacity < atLeast * 2)
            capacity *= 2;
        std::vector<Slot> old = std::move(slots_);
        slots_.assign(capacity, Slot{});
        mask_ = capacity - 1;
        for (const Slot& s : old) {
            if (s.value == none) continue;
            std::size_t i = s.hash & mask_;
            while (slots_[i].value != none)
                i = (i + 1) & mask_;
            slots_[i] = s;
        }
    }

    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
    std::size_t size_ = 0;
};

} // namespace tb
