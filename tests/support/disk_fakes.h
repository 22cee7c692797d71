// Stand-ins for what the cleanup rules read from the disk, and the bytes of
// the files they look for.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "analysis/cleanup_evidence.h"
#include "base/path.h"

namespace tb::test {

// Heads of files, work trees and what git tracks in them, by path.
class FakeDisk final : public DiskEvidence {
public:
    std::map<std::string, std::string> heads;
    std::map<std::string, std::optional<std::vector<std::string>>> workTrees;
    mutable int gitRuns = 0;

    std::optional<std::string> head(const std::string& path, std::size_t maxBytes) const override {
        const auto it = heads.find(path);
        if (it == heads.end()) return std::nullopt;
        return it->second.substr(0, maxBytes);
    }
    std::optional<std::string> workTreeOf(const std::string& path) const override {
        for (const auto& [root, files] : workTrees) {
            if (Path::isSameOrInside(path, root)) return root;
        }
        return std::nullopt;
    }
    std::optional<std::vector<std::string>> trackedFiles(
        const std::string& workTree) const override {
        ++gitRuns;
        return workTrees.at(workTree);
    }
};

// The first 18 bytes of a 64-bit little-endian ELF core file and program.
inline const std::string elfCore = std::string(
                                       "\x7f"
                                       "ELF\x02\x01\x01",
                                       7) +
                                   std::string(9, '\0') + std::string("\x04\x00", 2);
inline const std::string elfProgram = std::string(
                                          "\x7f"
                                          "ELF\x02\x01\x01",
                                          7) +
                                      std::string(9, '\0') + std::string("\x02\x00", 2);
inline const std::string cargoTag = std::string(CleanupEvidence::cacheTagSignature) +
                                    "\n# This file is a cache directory tag created by cargo.\n";

} // namespace tb::test
