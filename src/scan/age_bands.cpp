#include "scan/age_bands.h"

#include "base/tree.h"
#include "scan/byte_sum.h"
#include "scan/size_ranking.h"

namespace tb::AgeLayout {
namespace {
constexpr double kBounds[4] = {604800.0, 2592000.0, 7776000.0, 31536000.0};
constexpr int kTopFiles = 40;

int bandIndex(double age) {
    for (int i = 0; i < 4; ++i) {
        if (age < kBounds[i]) return i;
    }
    return 4;
}
// `forEachFile(add)` calls add(file) for each file, in the order the ties
// among the largest of a band go by.
template <typename ForEachFile>
std::vector<AgeBand> bandsOf(ForEachFile&& forEachFile, Date now) {
    std::vector<AgeBand> out(5);
    for (int i = 0; i < 5; ++i)
        out[i].id = out[i].label = keys[i];
    forEachFile([&](const ScanNode* f) {
        AgeBand& band = out[bandIndex(now.secondsSince(f->modified()))];
        band.bytes = addBytes(band.bytes, f->allocatedSize());
        ++band.fileCount;
        SizeLeaders::insert(f, band.files, kTopFiles);
    });
    return out;
}

template <typename Files>
std::vector<AgeBand> bandsOfList(const Files& files, Date now) {
    return bandsOf(
        [&](auto&& add) {
            for (const ScanNode* f : files)
                add(f);
        },
        now);
}
} // namespace

std::vector<AgeBand> bands(std::span<const ScanNode* const> files, Date now) {
    return bandsOfList(files, now);
}

std::vector<AgeBand> bands(const FileList& files, Date now) {
    return bandsOfList(files, now);
}

// The files in the order of a forest's file list (pre-order), without
// holding a list of them.
std::vector<AgeBand> bands(const ScanNode& node, Date now) {
    return bandsOf(
        [&](auto&& add) {
            Tree::preorder(&node, [&](const ScanNode* n) {
                if (!n->isDirectory()) add(n);
            });
        },
        now);
}

} // namespace tb::AgeLayout
