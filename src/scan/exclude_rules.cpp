#include "scan/exclude_rules.h"

#include <algorithm>

namespace tb {

std::string_view rawValue(LeftOutKind kind) {
    switch (kind) {
    case LeftOutKind::none: return "none";
    case LeftOutKind::excluded: return "excluded";
    case LeftOutKind::snapshots: return "snapshots";
    case LeftOutKind::mount: return "mount";
    }
    return "none";
}

std::optional<LeftOutKind> leftOutKind(std::string_view raw) {
    for (LeftOutKind k :
         {LeftOutKind::none, LeftOutKind::excluded, LeftOutKind::snapshots, LeftOutKind::mount}) {
        if (raw == rawValue(k)) return k;
    }
    return std::nullopt;
}

namespace {

enum class Token : std::uint8_t { literal, one, cls, star, anyPath, anyFolders };

struct Piece {
    Token token;
    char c = 0;
    std::string_view set; // a class's inside, brackets excluded
    bool negated = false;
};

bool inClass(const Piece& p, char c) {
    bool hit = false;
    const std::string_view s = p.set;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char lo = s[i];
        if (lo == '\\' && i + 1 < s.size()) lo = s[++i];
        if (i + 2 < s.size() && s[i + 1] == '-') {
            char hi = s[i + 2];
            i += 2;
            if (hi == '\\' && i + 1 < s.size()) hi = s[++i];
            if (c >= lo && c <= hi) hit = true;
        } else if (c == lo) {
            hit = true;
        }
    }
    return hit != p.negated;
}

std::vector<Piece> parse(std::string_view p) {
    std::vector<Piece> out;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const char c = p[i];
        if (c == '\\' && i + 1 < p.size()) {
            out.push_back({Token::literal, p[++i]});
        } else if (c == '?') {
            out.push_back({Token::one});
        } else if (c == '*') {
            if (i + 1 < p.size() && p[i + 1] == '*') {
                ++i;
                while (i + 1 < p.size() && p[i + 1] == '*')
                    ++i;
                if (i + 1 < p.size() && p[i + 1] == '/') {
                    ++i;
                    out.push_back({Token::anyFolders});
                } else {
                    out.push_back({Token::anyPath});
                }
            } else {
                out.push_back({Token::star});
            }
        } else if (c == '[') {
            std::size_t j = i + 1;
            bool negated = false;
            if (j < p.size() && (p[j] == '!' || p[j] == '^')) {
                negated = true;
                ++j;
            }
            // A "]" right after the opening belongs to the class.
            std::size_t end = j < p.size() && p[j] == ']' ? j + 1 : j;
            while (end < p.size() && p[end] != ']') {
                if (p[end] == '\\') ++end;
                ++end;
            }
            if (end >= p.size()) {
                out.push_back({Token::literal, c}); // no closing bracket: a plain "["
            } else {
                out.push_back({Token::cls, 0, p.substr(j, end - j), negated});
                i = end;
            }
        } else {
            out.push_back({Token::literal, c});
        }
    }
    return out;
}

} // namespace

bool globMatches(std::string_view pattern, std::string_view text) {
    const std::vector<Piece> pieces = parse(pattern);
    const std::size_t n = text.size();
    // next[j]: the pieces after the current one match text[j..]; O(pieces × text).
    std::vector<char> next(n + 1, 0), cur(n + 1, 0);
    next[n] = 1;
    for (std::size_t i = pieces.size(); i-- > 0;) {
        const Piece& p = pieces[i];
        cur[n] = p.token == Token::star || p.token == Token::anyPath || p.token == Token::anyFolders
                     ? next[n]
                     : 0;
        char folders = 0; // some "/" at k >= j with next[k + 1]
        for (std::size_t j = n; j-- > 0;) {
            const char t = text[j];
            switch (p.token) {
            case Token::literal: cur[j] = t == p.c && next[j + 1]; break;
            case Token::one: cur[j] = t != '/' && next[j + 1]; break;
            case Token::cls: cur[j] = t != '/' && inClass(p, t) && next[j + 1]; break;
            case Token::star: cur[j] = next[j] || (t != '/' && cur[j + 1]); break;
            case Token::anyPath: cur[j] = next[j] || cur[j + 1]; break;
            case Token::anyFolders:
                folders = folders || (t == '/' && next[j + 1]);
                cur[j] = next[j] || folders;
                break;
            }
        }
        std::swap(cur, next);
    }
    return next[0] != 0;
}

ExcludeRules::ExcludeRules(const std::vector<std::string>& patterns) {
    for (const std::string& raw : patterns) {
        std::string_view p = raw;
        while (!p.empty() && (p.front() == ' ' || p.front() == '\t'))
            p.remove_prefix(1);
        while (!p.empty() && (p.back() == ' ' || p.back() == '\t' || p.back() == '\r'))
            p.remove_suffix(1);
        Rule r;
        r.kind = isSnapshotPattern(p) ? LeftOutKind::snapshots : LeftOutKind::excluded;
        while (!p.empty() && p.back() == '/') {
            r.directoriesOnly = true;
            p.remove_suffix(1);
        }
        while (!p.empty() && p.front() == '/') {
            r.anchored = true;
            p.remove_prefix(1);
        }
        // "/" alone would name the root, which a walk never leaves out.
        if (p.empty()) continue;
        r.body = std::string(p);
        const std::size_t slash = r.body.rfind('/');
        r.onName = slash == std::string::npos && !r.anchored;
        r.lastPart = slash == std::string::npos ? r.body : r.body.substr(slash + 1);
        // "a/**" ends in a part that matches any name.
        if (r.lastPart.find("**") != std::string::npos) r.lastPart.clear();
        r.lastPartIsLiteral = r.lastPart.find_first_of("*?[\\") == std::string::npos;
        if (!r.anchored && !r.onName && r.body.rfind("**/", 0) != 0) r.body = "**/" + r.body;
        patterns_.emplace_back(raw);
        rules_.push_back(std::move(r));
    }
}

std::vector<std::string> ExcludeRules::snapshotPatterns() {
    return {"/.snapshots", "timeshift/snapshots", "timeshift-btrfs/snapshots"};
}

bool ExcludeRules::isSnapshotPattern(std::string_view pattern) {
    const auto all = snapshotPatterns();
    return std::find(all.begin(), all.end(), pattern) != all.end();
}

LeftOutKind ExcludeRules::match(std::string_view relative, bool isDirectory) const {
    if (relative.empty()) return LeftOutKind::none;
    const std::size_t slash = relative.rfind('/');
    const std::string_view name =
        slash == std::string_view::npos ? relative : relative.substr(slash + 1);
    for (const Rule& r : rules_) {
        if (r.directoriesOnly && !isDirectory) continue;
        // The name alone rules out nearly every entry cheaply: the walk asks
        // for every entry, and a default rule's name is a plain word.
        if (!r.lastPart.empty() &&
            (r.lastPartIsLiteral ? name != r.lastPart : !globMatches(r.lastPart, name)))
            continue;
        if (r.onName || globMatches(r.body, relative)) return r.kind;
    }
    return LeftOutKind::none;
}

} // namespace tb
