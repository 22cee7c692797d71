// One stored scan as the rest of the program knows it: its file, its root,
// when it finished, its headline counts and its context. Plain value; passed
// freely between threads.
#pragma once

#include <cstdint>
#include <string>

#include "base/date.h"
#include "base/uuid.h"
#include "scan/scan_context.h"

namespace tb {

struct ScanRecord {
    Uuid id;              // names the scan file
    std::string rootPath; // raw bytes
    Date finished;        // the file's modification date when read back
    std::int64_t scannedBytes = 0;
    std::int64_t unreadable = 0;
    std::string fileURL; // path of the scan's database file
    ScanContext context;

    bool operator==(const ScanRecord&) const = default;
};

// Two scans are compared only when they cover the same root of the same
// machine on a volume of the same capacity; scope, name, completion and dates play no part.
inline bool isSameSubject(const ScanRecord& a, const ScanRecord& b) {
    return a.context.rootPath == b.context.rootPath && a.context.host == b.context.host &&
           a.context.volumeCapacity == b.context.volumeCapacity;
}

} // namespace tb

template <>
struct std::hash<tb::ScanRecord> {
    std::size_t operator()(const tb::ScanRecord& r) const noexcept {
        std::size_t h = r.id.hashValue();
        auto mix = [&h](std::size_t v) { h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2); };
        mix(std::hash<std::string>{}(r.rootPath));
        mix(std::hash<std::int64_t>{}(r.finished.seconds) ^ std::size_t(r.finished.nanoseconds));
        mix(std::hash<std::int64_t>{}(r.scannedBytes));
        mix(std::hash<std::int64_t>{}(r.unreadable));
        mix(std::hash<std::string>{}(r.fileURL));
        mix(std::hash<std::string>{}(r.context.rootPath));
        mix(std::hash<std::int64_t>{}(r.context.volumeCapacity));
        return h;
    }
};
