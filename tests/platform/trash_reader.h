// Reads a Trash folder back the way a file manager does: every
// info/NAME.trashinfo with its percent-decoded Path= (made absolute against
// the top directory when relative) and its DeletionDate=. Deliberately apart
// from the writer, so that a fault in the encoder cannot hide itself.
#pragma once

#include <dirent.h>

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
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && hex(s[i + 1]) >= 0 && hex(s[i + 2]) >= 0) {
            out.push_back(char(hex(s[i + 1]) * 16 + hex(s[i + 2])));
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
    DIR* dir = ::opendir((trashRoot + "/info").c_str());
    if (!dir) return entries;
    const std::string suffix = ".trashinfo";
    while (dirent* e = ::readdir(dir)) {
        std::string file = e->d_name;
        if (file.size() <= suffix.size() || file.substr(file.size() - suffix.size()) != suffix) {
            continue;
        }
        TrashEntry entry;
        entry.name = file.substr(0, file.size() - suffix.size());
        const std::string text = readFile(trashRoot + "/info/" + file);
        std::size_t i = 0;
        while (i < text.size()) {
            auto j = text.find('\n', i);
            if (j == std::string::npos) j = text.size();
            const std::string line = text.substr(i, j - i);
            if (line == "[Trash Info]") entry.hasHeader = true;
            if (line.rfind("Path=", 0) == 0) entry.originalPath = percentDecoded(line.substr(5));
            if (line.rfind("DeletionDate=", 0) == 0) entry.deletionDate = line.substr(13);
            i = j + 1;
        }
        if (!entry.originalPath.empty() && entry.originalPath[0] != '/') {
            entry.originalPath = topDirectory + "/" + entry.originalPath;
        }
        entries.push_back(entry);
    }
    ::closedir(dir);
    return entries;
}

} // namespace tb::test
