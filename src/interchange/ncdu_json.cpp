#include "interchange/ncdu_json.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tb::NcduJson {
namespace {

constexpr std::size_t kFlushBytes = 1 << 16;

void appendString(std::string& out, std::string_view text) {
    out += '"';
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        default:
            if (c < 0x20 || c == 0x7f) {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\u%04x", c);
                out += esc;
            } else {
                out += ch; // bytes above 0x7f pass as they are, UTF-8 or not
            }
        }
    }
    out += '"';
}

void appendField(std::string& out, std::string_view key, std::int64_t value) {
    out += ",\"";
    out += key;
    out += "\":";
    out += std::to_string(value);
}

struct OwnSize {
    std::int64_t logical = 0;
    std::int64_t allocated = 0;
};

// What a folder holds beyond its children: its own blocks after an import,
// nothing after a scan of ours.
OwnSize ownSize(const ScanNode& node) {
    if (!node.isDirectory()) return {node.logicalSize(), node.allocatedSize()};
    OwnSize own{node.logicalSize(), node.allocatedSize()};
    for (const ScanNode* c : node.children()) {
        own.logical -= c->logicalSize();
        own.allocated -= c->allocatedSize();
    }
    return {std::max<std::int64_t>(own.logical, 0), std::max<std::int64_t>(own.allocated, 0)};
}

void appendInfo(std::string& out, const ScanNode& node, bool isRoot,
                const std::unordered_map<std::uint64_t, std::int64_t>& links) {
    out += "{\"name\":";
    appendString(out, isRoot ? node.path() : node.name());
    const OwnSize own = ownSize(node);
    appendField(out, "asize", own.logical);
    appendField(out, "dsize", own.allocated);
    if (node.inode() != 0) {
        out += ",\"ino\":";
        out += std::to_string(node.inode());
    }
    if (!node.isDirectory()) {
        auto it = links.find(node.inode());
        if (it != links.end() && it->second > 1) {
            out += ",\"hlnkc\":true";
            appendField(out, "nlink", it->second);
        }
    }
    if (!node.modified().isDistantPast()) appendField(out, "mtime", node.modified().seconds);
    if (node.unreadable()) out += ",\"read_error\":true";
    out += '}';
}

// Files seen under more than one name: the only hard links a tree can show.
std::unordered_map<std::uint64_t, std::int64_t> linkCounts(const ScanNode& root) {
    std::unordered_map<std::uint64_t, std::int64_t> counts;
    std::vector<const ScanNode*> stack{&root};
    while (!stack.empty()) {
        const ScanNode* n = stack.back();
        stack.pop_back();
        if (!n->isDirectory() && n->inode() != 0) ++counts[n->inode()];
        for (const ScanNode* c : n->children())
            stack.push_back(c);
    }
    return counts;
}

} // namespace

bool write(const ScanNode& root, const Sink& sink, const WriteOptions& options) {
    const auto links = linkCounts(root);
    std::string out = "[1,2,{\"progname\":\"tarnbeck\",\"progver\":";
    appendString(out, options.progver);
    appendField(out, "timestamp", options.timestamp.seconds);
    out += "},\n";

    struct Frame {
        const ScanNode* node;
        std::size_t next = 0;
    };
    if (root.isDirectory()) out += '[';
    appendInfo(out, root, true, links);
    std::vector<Frame> stack;
    if (root.isDirectory()) stack.push_back({&root});
    while (!stack.empty()) {
        Frame& top = stack.back();
        const auto children = top.node->children();
        if (top.next == children.size()) {
            out += ']';
            stack.pop_back();
            continue;
        }
        const ScanNode* child = children[top.next++];
        out += ",\n";
        if (child->isDirectory()) {
            out += '[';
            appendInfo(out, *child, false, links);
            stack.push_back({child});
        } else {
            appendInfo(out, *child, false, links);
        }
        if (out.size() >= kFlushBytes) {
            if (!sink(out)) return false;
            out.clear();
        }
    }
    out += "]\n";
    return sink(out);
}

namespace {

struct ParseFailure {
    std::size_t offset;
    std::string what;
};

struct Info {
    std::string name;
    bool hasName = false;
    std::int64_t asize = 0;
    std::int64_t dsize = 0;
    std::uint64_t ino = 0;
    std::optional<std::int64_t> mtime;
    bool readError = false;
};

// A pull reader over the whole text. Failures are thrown as ParseFailure and
// caught in read(); nothing leaves this file as an exception.
class Reader {
public:
    explicit Reader(std::string_view text) : s_(text) {}

    [[noreturn]] void fail(std::string what) const { throw ParseFailure{pos_, std::move(what)}; }

    void skipSpace() {
        while (pos_ < s_.size() &&
               (s_[pos_] == ' ' || s_[pos_] == '\n' || s_[pos_] == '\r' || s_[pos_] == '\t'))
            ++pos_;
    }
    char peek() {
        skipSpace();
        if (pos_ >= s_.size()) fail("unexpected end of the export (truncated?)");
        return s_[pos_];
    }
    void expect(char c) {
        if (peek() != c) fail(std::string("expected '") + c + "', found " + describe());
        ++pos_;
    }
    bool consume(char c) {
        if (peek() != c) return false;
        ++pos_;
        return true;
    }
    bool atEnd() {
        skipSpace();
        return pos_ >= s_.size();
    }
    std::string describe() const {
        if (pos_ >= s_.size()) return "the end of the export";
        const auto c = static_cast<unsigned char>(s_[pos_]);
        if (c < 0x20 || c >= 0x7f) return "byte " + std::to_string(c);
        return std::string("'") + char(c) + "'";
    }

    std::string string() {
        expect('"');
        std::string out;
        for (;;) {
            if (pos_ >= s_.size()) fail("unexpected end of the export inside a string");
            const char c = s_[pos_++];
            if (c == '"') return out;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= s_.size()) fail("unexpected end of the export inside a string");
            const char e = s_[pos_++];
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': appendUtf8(out, codePoint()); break;
            default: --pos_; fail(std::string("unknown escape '\\") + e + "'");
            }
        }
    }

    std::int64_t integer() {
        skipSpace();
        const std::size_t start = pos_;
        while (pos_ < s_.size() && std::strchr("+-0123456789.eE", s_[pos_]) && s_[pos_] != '\0')
            ++pos_;
        const std::string_view token = s_.substr(start, pos_ - start);
        if (token.empty()) fail("expected a number, found " + describe());
        std::int64_t v = 0;
        auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), v);
        if (ec == std::errc::result_out_of_range) {
            // An unsigned 64-bit inode number above 2^63 keeps its bit pattern.
            std::uint64_t u = 0;
            auto r = std::from_chars(token.data(), token.data() + token.size(), u);
            if (r.ec == std::errc() && r.ptr == token.data() + token.size())
                return static_cast<std::int64_t>(u);
            pos_ = start;
            fail("number out of range");
        }
        if (ec != std::errc() || end != token.data() + token.size()) {
            // A fraction or an exponent: keep the whole part.
            char* dend = nullptr;
            const std::string copy(token);
            const double d = std::strtod(copy.c_str(), &dend);
            if (dend != copy.c_str() + copy.size() || !(d > -9.2e18 && d < 9.2e18)) {
                pos_ = start;
                fail("malformed number");
            }
            return static_cast<std::int64_t>(d);
        }
        return v;
    }

    bool boolean() {
        if (word("true")) return true;
        if (word("false")) return false;
        skip();
        return false;
    }

    // Skips one value of any kind; nesting is counted, not recursed.
    void skip() {
        int depth = 0;
        do {
            const char c = peek();
            if (c == '"') {
                string();
            } else if (c == '[' || c == '{') {
                ++depth;
                ++pos_;
                continue;
            } else if (c == ']' || c == '}') {
                if (depth == 0) fail(std::string("unexpected '") + c + "'");
                --depth;
                ++pos_;
            } else if (c == ',' || c == ':') {
                if (depth == 0) fail(std::string("unexpected '") + c + "'");
                ++pos_;
                continue;
            } else if (!word("true") && !word("false") && !word("null")) {
                integer();
            }
        } while (depth > 0);
    }

    Info info() {
        Info info;
        expect('{');
        if (consume('}')) fail("an entry without a name");
        do {
            const std::string key = string();
            expect(':');
            if (key == "name") {
                info.name = string();
                info.hasName = true;
            } else if (key == "asize") {
                info.asize = std::max<std::int64_t>(integer(), 0);
            } else if (key == "dsize") {
                info.dsize = std::max<std::int64_t>(integer(), 0);
            } else if (key == "ino") {
                info.ino = static_cast<std::uint64_t>(integer());
            } else if (key == "mtime") {
                info.mtime = integer();
            } else if (key == "read_error") {
                info.readError = boolean();
            } else {
                skip(); // hlnkc, nlink, dev, excluded, notreg, uid, gid, mode, ...
            }
        } while (consume(','));
        expect('}');
        if (!info.hasName) fail("an entry without a name");
        return info;
    }

    std::size_t position() const { return pos_; }

private:
    bool word(std::string_view w) {
        skipSpace();
        if (s_.substr(pos_, w.size()) != w) return false;
        pos_ += w.size();
        return true;
    }

    std::uint32_t hex4() {
        if (pos_ + 4 > s_.size()) fail("unexpected end of the export inside a string");
        std::uint32_t v = 0;
        auto [end, ec] = std::from_chars(s_.data() + pos_, s_.data() + pos_ + 4, v, 16);
        if (ec != std::errc() || end != s_.data() + pos_ + 4) fail("malformed \\u escape");
        pos_ += 4;
        return v;
    }

    std::uint32_t codePoint() {
        const std::uint32_t hi = hex4();
        if (hi < 0xD800 || hi > 0xDFFF) return hi;
        if (hi > 0xDBFF || s_.substr(pos_, 2) != "\\u") fail("unpaired surrogate in a \\u escape");
        pos_ += 2;
        const std::uint32_t lo = hex4();
        if (lo < 0xDC00 || lo > 0xDFFF) fail("unpaired surrogate in a \\u escape");
        return 0x10000 + ((hi - 0xD800) << 10) + (lo - 0xDC00);
    }

    static void appendUtf8(std::string& out, std::uint32_t cp) {
        if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x800) {
            out += char(0xC0 | (cp >> 6));
            out += char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += char(0xE0 | (cp >> 12));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        } else {
            out += char(0xF0 | (cp >> 18));
            out += char(0x80 | ((cp >> 12) & 0x3F));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        }
    }

    std::string_view s_;
    std::size_t pos_ = 0;
};

std::string location(std::string_view text, std::size_t offset) {
    offset = std::min(offset, text.size());
    const std::string_view before = text.substr(0, offset);
    const auto line = 1 + std::count(before.begin(), before.end(), '\n');
    const auto lastBreak = before.rfind('\n');
    const std::size_t column =
        lastBreak == std::string_view::npos ? offset + 1 : offset - lastBreak;
    return "line " + std::to_string(line) + ", column " + std::to_string(column) + " (byte " +
           std::to_string(offset) + ")";
}

bool isFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

class TreeBuilder {
public:
    explicit TreeBuilder(Reader& reader) : reader_(reader) {
        result_.tree.arena = std::make_shared<NodeArena>();
    }

    // After the opening '[' of a folder: its info block.
    void openFolder(const Info& info) {
        ScanNode* node = make(info, true);
        result_.folderBlocks += info.dsize;
        if (info.readError) ++result_.unreadable;
        stack_.push_back({node, {}, {}});
    }
    void addFile(const Info& info) { stack_.back().children.push_back(make(info, false)); }
    // At the closing ']' of a folder.
    void closeFolder() {
        Frame frame = std::move(stack_.back());
        stack_.pop_back();
        std::int64_t logical = frame.node->logicalSize();
        std::int64_t allocated = frame.node->allocatedSize();
        for (const ScanNode* c : frame.children) {
            logical += c->logicalSize();
            allocated += c->allocatedSize();
        }
        frame.node->setLogicalSize(logical);
        frame.node->setAllocatedSize(allocated);
        result_.tree.arena->setChildren(frame.node, frame.children);
        if (!stack_.empty()) stack_.back().children.push_back(frame.node);
    }
    bool open() const { return !stack_.empty(); }
    Imported finish() { return std::move(result_); }

private:
    struct Frame {
        ScanNode* node;
        std::vector<ScanNode*> children;
        std::unordered_set<std::string> names;
    };

    ScanNode* make(const Info& info, bool isDirectory) {
        std::string path;
        if (stack_.empty()) {
            if (info.name.empty() || info.name.find('\0') != std::string::npos)
                reader_.fail("the root has no usable name");
            path = info.name;
            // "/data/" is "/data", which is how the store keys the scan.
            while (path.size() > 1 && path.back() == '/')
                path.pop_back();
        } else {
            Frame& parent = stack_.back();
            if (!isFileName(info.name)) reader_.fail("\"" + info.name + "\" is not a file name");
            if (!parent.names.insert(info.name).second)
                reader_.fail("two entries named \"" + info.name + "\" in one folder");
        }
        NodeFields fields;
        fields.path = path;
        if (!stack_.empty()) fields.parent = stack_.back().node;
        fields.name = stack_.empty() ? std::string_view(path) : std::string_view(info.name);
        fields.isDirectory = isDirectory;
        fields.inode = info.ino;
        if (info.mtime) fields.modified = Date::fromUnix(*info.mtime, 0);
        fields.logicalSize = info.asize;
        fields.allocatedSize = info.dsize;
        fields.mayShareBlocks = !isDirectory && info.asize > info.dsize && info.dsize > 0;
        fields.unreadable = isDirectory && info.readError;
        ScanNode* node = result_.tree.arena->make(fields);
        if (stack_.empty()) result_.tree.root = node;
        ++result_.entries;
        return node;
    }

    Reader& reader_;
    Imported result_;
    std::vector<Frame> stack_;
};

Imported parse(Reader& in) {
    in.expect('[');
    const std::int64_t major = in.integer();
    if (major != 1) in.fail("format version " + std::to_string(major) + " is not 1");
    in.expect(',');
    in.integer(); // later minor versions only add fields
    in.expect(',');
    Date timestamp = Date::distantPast();
    in.expect('{');
    if (!in.consume('}')) {
        do {
            const std::string key = in.string();
            in.expect(':');
            if (key == "timestamp") {
                timestamp = Date::fromUnix(in.integer(), 0);
            } else {
                in.skip();
            }
        } while (in.consume(','));
        in.expect('}');
    }
    in.expect(',');

    TreeBuilder builder(in);
    in.expect('[');
    builder.openFolder(in.info());
    while (builder.open()) {
        if (in.consume(']')) {
            builder.closeFolder();
            continue;
        }
        in.expect(',');
        if (in.consume('[')) {
            builder.openFolder(in.info());
        } else {
            builder.addFile(in.info());
        }
    }
    in.expect(']');
    if (!in.atEnd()) in.fail("unexpected " + in.describe() + " after the export");
    Imported result = builder.finish();
    result.timestamp = timestamp;
    return result;
}

} // namespace

Result<Imported> read(std::string_view text) {
    Reader in(text);
    try {
        return parse(in);
    } catch (const ParseFailure& f) {
        return Error{"Interchange", 1, location(text, f.offset) + ": " + f.what};
    }
}

Result<std::string> slurp(const std::string& path) {
    const bool standardInput = path == "-";
    // gzread passes a file that is not compressed through unchanged.
    gzFile file = standardInput ? gzdopen(::dup(STDIN_FILENO), "rb") : gzopen(path.c_str(), "rb");
    if (file == nullptr) {
        const int err = errno ? errno : ENOMEM;
        return Error{"Interchange", 2, "cannot open " + path + ": " + std::strerror(err)};
    }
    std::string text;
    std::vector<char> buffer(1 << 17);
    for (;;) {
        const int n = gzread(file, buffer.data(), static_cast<unsigned>(buffer.size()));
        if (n > 0) {
            text.append(buffer.data(), std::size_t(n));
            continue;
        }
        if (n == 0) break;
        int code = 0;
        const char* message = gzerror(file, &code);
        std::string what = code == Z_ERRNO ? std::strerror(errno) : message;
        gzclose(file);
        return Error{"Interchange", 2, "cannot read " + path + ": " + what};
    }
    // A gzip stream cut short reads as a clean end; gzclose_r does not tell
    // either, so the parser reports the truncation by position.
    gzclose(file);
    return text;
}

} // namespace tb::NcduJson
