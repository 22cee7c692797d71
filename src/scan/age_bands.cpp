#include "scan/age_bands.h"

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
template <typename Files>
std::vector<AgeBand> bandsOf(const Files& files, Date now) {
    std::vector<AgeBand> out(5);
    for (int i = 0; i < 5; ++i)
        out[i].id = out[i].label = keys[i];
    for (const ScanNode* f : files) {
        AgeBand& band = out[bandIndex(now.secondsSince(f->modified()))];
        band.bytes = addBytes(band.bytes, f->allocatedSize());
        ++band.fileCount;
        SizeLeaders::insert(f, band.files, kTopFiles);
    }
    return out;
}
} // namespace

std::vector<AgeBand> bands(std::span<const ScanNode* const> files, Date now) {
    return bandsOf(files, now);
}

std::vector<AgeBand> bands(const FileList& files, Date now) {
    return bandsOf(files, now);
}

std::vector<AgeBand> bands(const ScanNode& node, Date now) {
    std::vector<const ScanNode*> files;
    for (const ScanNode* n : node.flattened()) {
        if (!n->isDirectory()) files.push_back(n);
    }
    return bands(files, now);
}

} // namespace tb::AgeLayout
