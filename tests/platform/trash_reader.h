// Reads a Trash back as a file manager does (decoded Path=, DeletionDate=), apart from the
// writer so that an encoder fault cannot hide.
#pragma once

#include <cctype>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace tb::test {

struct TrashEntry {
    std::string name;         // NAME in files/NAME
    std::string originalPath; // decoded and absolute
    std::string deletionDate;
    bool hasHeader = false;
};

inline std::string percentDecoded(const std::string& s) {
    auto hex = [&](std::size_t i) { return std::isxdigit(static_cast<unsigned char>(s[i])); };
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && hex(i + 1) && hex(i + 2)) {
            out.push_back(char(std::stoi(s.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

inline std::vector<TrashEntry> readTrash(const std::string& trashRoot,
                                         const std::string& topDirectory = "") {
    std::vector<TrashEntry> entries;
    const std::string suffix = ".trashinfo";
    std::error_code none; // a missing folder holds nothing
    for (const auto& item : std::filesystem::directory_iterator(trashRoot + "/info", none)) {
        const std::string file = item.path().filename();
        if (file.size() <= suffix.size() || !file.ends_with(suffix)) continue;
        TrashEntry entry;
        entry.name = file.substr(0, file.size() - suffix.size());
        std::istringstream lines(readFile(trashRoot + "/info/" + file));
        for (std::string line; std::getline(lines, line);) {
            if (line == "[Trash Info]") entry.hasHeader = true;
            if (line.starts_with("Path=")) entry.originalPath = percentDecoded(line.substr(5));
            if (line.starts_with("DeletionDate=")) entry.deletionDate = line.substr(13);
        }
        if (!entry.originalPath.empty() && entry.originalPath[0] != '/')
            entry.originalPath = topDirectory + "/" + entry.originalPath;
        entries.push_back(entry);
    }
    return entries;
}

} // namespace tb::test
