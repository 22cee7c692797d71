#include "interchange/ncdu_json.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/byte_format.h"
#include "platform/file_system.h"
#include "scan/byte_sum.h"

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
        own.logical = addBytes(own.logical, -c->logicalSize());
        own.allocated = addBytes(own.allocated, -c->allocatedSize());
    }
    return {std::max<std::int64_t>(own.logical, 0), std::max<std::int64_t>(own.allocated, 0)};
}

// The names of files with several, and the link count to write for each.
class LinkMarks {
public:
    LinkMarks(const ScanNode& root, const HardLinks* links) : links_(links) {
        if (links_) return;
        // Without the scan's own record, names sharing an inode in the tree
        // are the only links it can show.
        std::vector<const ScanNode*> stack{&root};
        while (!stack.empty()) {
            const ScanNode* n = stack.back();
            stack.pop_back();
            if (!n->isDirectory() && n->inode() != 0) ++counts_[n->inode()];
            for (const ScanNode* c : n->children())
                stack.push_back(c);
        }
    }
    // The file's sizes and link count; nothing for a file with one name.
    std::optional<HardLinks::File> of(const ScanNode& node) const {
        if (node.isDirectory()) return std::nullopt;
        if (links_) {
            const HardLinks::File* f = links_->file(&node);
            if (!f) return std::nullopt;
            return *f;
        }
        const auto it = counts_.find(node.inode());
        if (it == counts_.end() || it->second < 2) return std::nullopt;
        return HardLinks::File{node.logicalSize(), node.allocatedSize(), it->second, 0, 0};
    }

private:
    const HardLinks* links_;
    std::unordered_map<std::uint64_t, std::uint32_t> counts_;
};

void appendInfo(std::string& out, const ScanNode& node, bool isRoot, const LinkMarks& marks) {
    out += "{\"name\":";
    appendString(out, isRoot ? node.path() : node.name());
    const auto linked = marks.of(node);
    // Every name carries the file's sizes: the reader counts them once.
    const OwnSize own =
        linked ? OwnSize{linked->logicalSize, linked->allocatedSize} : ownSize(node);
    appendField(out, "asize", own.logical);
    appendField(out, "dsize", own.allocated);
    if (node.inode() != 0) {
        out += ",\"ino\":";
        out += std::to_string(node.inode());
    }
    if (linked) {
        out += ",\"hlnkc\":true";
        appendField(out, "nlink", linked->linkCount);
    }
    if (!node.modified().isDistantPast()) appendField(out, "mtime", node.modified().seconds);
    if (node.unreadable()) out += ",\"read_error\":true";
    out += '}';
}

} // namespace

bool write(const ScanNode& root, const Sink& sink, const WriteOptions& options) {
    const LinkMarks links(root, options.links);
    std::string out = "[1,2,{\"progname\":\"tarnbeck\",\"progver\":";
    appendString(out, options.progver);
    appendField(out, "timestamp", options.timestamp.seconds);
    if (options.links) {
        out += ",\"hard_links\":";
        appendString(out, rawValue(options.links->mode()));
    }
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

// Bounds no real export comes near, so that a forged or endless input fails
// soon, having used little memory, instead of filling memory or the disk.
constexpr std::size_t kChunkBytes = 128 << 10;
constexpr std::size_t kMaxText = 4096;          // a name, the root or a key
constexpr std::uint64_t kMaxSkipped = 1 << 20;  // one value of a field not read
constexpr std::size_t kMaxNumber = 64;          // characters of one number
constexpr std::uint64_t kMaxSpaceRun = 1 << 20; // white space between two tokens
// The store keeps every entry's full path, so a deeply nested export grows
// with the square of its depth once stored. A normal export's paths take
// about as many bytes as the export itself; the paths of the entries read so
// far may take this many times the bytes read so far, or the floor, which
// lets every small export through whatever its shape.
constexpr std::uint64_t kPathBytesPerInputByte = 32;
constexpr std::uint64_t kPathBytesFloor = 16 << 20;
constexpr std::int64_t kClockSlackSeconds = 24 * 60 * 60;

// Thrown inside this file only; read() and readFile() turn them into errors.
struct ParseFailure {
    std::string message; // with the location
};
struct SourceFailure {
    std::string what;
};
struct Stopped {};

// Hands the parser the export piece by piece, an empty piece at the end. A
// piece stays valid until the next call.
class Source {
public:
    virtual ~Source() = default;
    virtual std::string_view next() = 0;
};

class TextSource final : public Source {
public:
    explicit TextSource(std::string_view text) : text_(text) {}
    std::string_view next() override { return std::exchange(text_, {}); }

private:
    std::string_view text_;
};

// Plain or gzip-compressed (gzread passes plain bytes through unchanged).
class GzipSource final : public Source {
public:
    GzipSource(gzFile file, std::stop_token stop)
        : file_(file), stop_(std::move(stop)), buffer_(kChunkBytes) {}
    ~GzipSource() override { gzclose(file_); }
    GzipSource(const GzipSource&) = delete;
    GzipSource& operator=(const GzipSource&) = delete;

    std::string_view next() override {
        if (stop_.stop_requested()) throw Stopped{};
        const int n = gzread(file_, buffer_.data(), static_cast<unsigned>(buffer_.size()));
        if (n > 0) return {buffer_.data(), std::size_t(n)};
        int code = Z_OK;
        const char* message = gzerror(file_, &code);
        // zlib keeps reading to the end of a cut stream (its trailer
        // included) and notes the shortfall as Z_BUF_ERROR.
        if (code == Z_BUF_ERROR) throw SourceFailure{"the compressed export is truncated"};
        if (n == 0) return {};
        if (code == Z_ERRNO) throw SourceFailure{message};
        throw SourceFailure{std::string("the compressed export is damaged (") + message + ")"};
    }

private:
    gzFile file_;
    std::stop_token stop_;
    std::vector<char> buffer_;
};

struct Info {
    std::string name;
    bool hasName = false;
    std::int64_t asize = 0;
    std::int64_t dsize = 0;
    std::uint64_t ino = 0;
    std::optional<std::int64_t> mtime;
    bool readError = false;
    bool hardLink = false;       // "hlnkc": counted once among its names
    std::uint32_t linkCount = 0; // "nlink"
};

bool isSpace(char c) {
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

bool isNumberByte(int c) {
    return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E';
}

void appendUtf8(std::string& out, std::uint32_t cp) {
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

// A pull reader over the pieces of a source: memory holds one piece and the
// token being read, never the whole input. Lines are counted piece by piece
// so that a failure can still name its line.
class Reader {
public:
    explicit Reader(Source& source) : source_(source) {}

    std::uint64_t offset() const { return base_ + std::uint64_t(p_ - begin_); }

    [[noreturn]] void fail(std::string what) const { failAt(offset(), std::move(what)); }
    [[noreturn]] void failAt(std::uint64_t at, std::string what) const {
        throw ParseFailure{location(at) + ": " + what};
    }

    void skipSpace() {
        std::uint64_t run = 0;
        for (;;) {
            const char* start = p_;
            while (p_ < end_ && isSpace(*p_))
                ++p_;
            run += std::uint64_t(p_ - start);
            if (run > kMaxSpaceRun) fail("more than 1 MiB of white space in a row");
            if (p_ < end_ || !refill()) return;
        }
    }
    char peek() {
        skipSpace();
        if (p_ == end_) fail("unexpected end of the export (truncated?)");
        return *p_;
    }
    void expect(char c) {
        if (peek() != c) fail(std::string("expected '") + c + "', found " + describe());
        ++p_;
    }
    bool consume(char c) {
        if (peek() != c) return false;
        ++p_;
        return true;
    }
    bool atEnd() {
        skipSpace();
        return p_ == end_;
    }
    std::string describe() {
        if (peekByte() < 0) return "the end of the export";
        const auto c = static_cast<unsigned char>(*p_);
        if (c < 0x20 || c >= 0x7f) return "byte " + std::to_string(c);
        return std::string("'") + char(c) + "'";
    }

    // A string into `out`, at most kMaxText bytes of it; `what` names it
    // when it is longer.
    void string(std::string& out, const char* what) {
        out.clear();
        readString(&out, kMaxText, what);
    }
    std::string string() {
        std::string out;
        string(out, "a key");
        return out;
    }

    std::int64_t integer() {
        skipSpace();
        const std::uint64_t start = offset();
        char token[kMaxNumber];
        std::size_t n = 0;
        for (int c; (c = peekByte()) >= 0 && isNumberByte(c); ++p_) {
            if (n == kMaxNumber) failAt(start, "a number longer than 64 characters");
            token[n++] = char(c);
        }
        if (n == 0) fail("expected a number, found " + describe());
        std::int64_t v = 0;
        auto [end, ec] = std::from_chars(token, token + n, v);
        if (ec == std::errc::result_out_of_range) {
            // An unsigned 64-bit inode number above 2^63 keeps its bit pattern.
            std::uint64_t u = 0;
            auto r = std::from_chars(token, token + n, u);
            if (r.ec == std::errc() && r.ptr == token + n) return static_cast<std::int64_t>(u);
            failAt(start, "number out of range");
        }
        if (ec != std::errc() || end != token + n) {
            // A fraction or an exponent: keep the whole part.
            char* dend = nullptr;
            const std::string copy(token, n);
            const double d = std::strtod(copy.c_str(), &dend);
            if (dend != copy.c_str() + copy.size() || !(d > -9.2e18 && d < 9.2e18))
                failAt(start, "malformed number");
            return static_cast<std::int64_t>(d);
        }
        return v;
    }

    bool boolean() {
        const char c = peek();
        if (c == 't') {
            word("true");
            return true;
        }
        if (c == 'f') {
            word("false");
            return false;
        }
        skip();
        return false;
    }

    // Skips one value of any kind; nesting is counted, not recursed, and the
    // whole value is bounded.
    void skip() {
        skipSpace();
        const std::uint64_t start = offset();
        std::uint64_t depth = 0;
        do {
            if (offset() - start > kMaxSkipped)
                failAt(start, "a value longer than 1 MiB in a field Tarnbeck does not read");
            const char c = peek();
            if (c == '"') {
                readString(nullptr, kMaxSkipped, "a value");
            } else if (c == '[' || c == '{') {
                ++depth;
                ++p_;
                continue;
            } else if (c == ']' || c == '}') {
                if (depth == 0) fail(std::string("unexpected '") + c + "'");
                --depth;
                ++p_;
            } else if (c == ',' || c == ':') {
                if (depth == 0) fail(std::string("unexpected '") + c + "'");
                ++p_;
                continue;
            } else if (c == 't') {
                word("true");
            } else if (c == 'f') {
                word("false");
            } else if (c == 'n') {
                word("null");
            } else {
                integer();
            }
        } while (depth > 0);
    }

    // One entry's fields into `info`, whose buffers are reused.
    void info(Info& info) {
        info.name.clear();
        info.hasName = false;
        info.asize = info.dsize = 0;
        info.ino = 0;
        info.mtime.reset();
        info.readError = false;
        info.hardLink = false;
        info.linkCount = 0;
        expect('{');
        if (consume('}')) fail("an entry without a name");
        do {
            string(key_, "a key");
            expect(':');
            if (key_ == "name") {
                string(info.name, "a name");
                info.hasName = true;
            } else if (key_ == "asize") {
                info.asize = std::max<std::int64_t>(integer(), 0);
            } else if (key_ == "dsize") {
                info.dsize = std::max<std::int64_t>(integer(), 0);
            } else if (key_ == "ino") {
                info.ino = static_cast<std::uint64_t>(integer());
            } else if (key_ == "mtime") {
                info.mtime = integer();
            } else if (key_ == "read_error") {
                info.readError = boolean();
            } else if (key_ == "hlnkc") {
                info.hardLink = boolean();
            } else if (key_ == "nlink") {
                info.linkCount = static_cast<std::uint32_t>(std::clamp<std::int64_t>(
                    integer(), 0, std::numeric_limits<std::uint32_t>::max()));
            } else {
                skip(); // dev, excluded, notreg, uid, gid, mode, ...
            }
        } while (consume(','));
        expect('}');
        if (!info.hasName) fail("an entry without a name");
    }

private:
    // The next byte without taking it; -1 at the end of the input.
    int peekByte() {
        if (p_ == end_ && !refill()) return -1;
        return static_cast<unsigned char>(*p_);
    }
    char take(const char* where) {
        if (p_ == end_ && !refill()) fail(std::string("unexpected end of the export ") + where);
        return *p_++;
    }

    // Moves on to the next piece; false at the end of the input.
    bool refill() {
        if (ended_) return false;
        for (const char* q = begin_; q < end_; ++q) {
            q = static_cast<const char*>(std::memchr(q, '\n', std::size_t(end_ - q)));
            if (q == nullptr) break;
            ++lines_;
            lineStart_ = base_ + std::uint64_t(q - begin_) + 1;
        }
        base_ += std::uint64_t(end_ - begin_);
        const std::string_view piece = source_.next();
        begin_ = p_ = piece.data();
        end_ = begin_ + piece.size();
        ended_ = piece.empty();
        return !ended_;
    }

    // A position before the current piece lies inside the token being read,
    // which holds no line break: the line is the one the piece began in.
    std::string location(std::uint64_t at) const {
        std::uint64_t line = lines_ + 1;
        std::uint64_t lineStart = lineStart_;
        if (at > base_) {
            const char* stop = begin_ + std::min<std::uint64_t>(at - base_, end_ - begin_);
            for (const char* q = begin_; q < stop; ++q) {
                if (*q != '\n') continue;
                ++line;
                lineStart = base_ + std::uint64_t(q - begin_) + 1;
            }
        }
        const std::uint64_t column = at >= lineStart ? at - lineStart + 1 : 1;
        return "line " + std::to_string(line) + ", column " + std::to_string(column) + " (byte " +
               std::to_string(at) + ")";
    }

    void word(std::string_view w) {
        const std::uint64_t start = offset();
        for (const char ch : w) {
            if (peekByte() != static_cast<unsigned char>(ch))
                failAt(start, "expected " + std::string(w) + ", found " + describe());
            ++p_;
        }
    }

    // The contents of a string into `out` (nowhere when null). JSON has no
    // raw control bytes inside a string: such a byte is refused where it is.
    void readString(std::string* out, std::uint64_t limit, const char* what) {
        expect('"');
        const std::uint64_t start = offset();
        for (;;) {
            const char* run = p_;
            while (p_ < end_ && *p_ != '"' && *p_ != '\\' &&
                   static_cast<unsigned char>(*p_) >= 0x20)
                ++p_;
            if (out) out->append(run, std::size_t(p_ - run));
            if ((out ? out->size() : offset() - start) > limit)
                failAt(start,
                       std::string(what) + " longer than " + std::to_string(limit) + " bytes");
            if (p_ == end_) {
                if (!refill()) fail("unexpected end of the export inside a string");
                continue;
            }
            const auto c = static_cast<unsigned char>(*p_);
            if (c == '"') {
                ++p_;
                return;
            }
            if (c < 0x20) {
                fail("a control byte (" + std::to_string(c) +
                     ") inside a string, where JSON has it escaped");
            }
            ++p_; // the backslash
            const char e = take("inside a string");
            char decoded;
            switch (e) {
            case '"': decoded = '"'; break;
            case '\\': decoded = '\\'; break;
            case '/': decoded = '/'; break;
            case 'b': decoded = '\b'; break;
            case 'f': decoded = '\f'; break;
            case 'n': decoded = '\n'; break;
            case 'r': decoded = '\r'; break;
            case 't': decoded = '\t'; break;
            case 'u': {
                const std::uint32_t cp = codePoint();
                if (out) appendUtf8(*out, cp);
                continue;
            }
            default: failAt(offset() - 1, std::string("unknown escape '\\") + e + "'");
            }
            if (out) *out += decoded;
        }
    }

    std::uint32_t hex4() {
        const std::uint64_t start = offset();
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = take("inside a string");
            int digit;
            if (c >= '0' && c <= '9') {
                digit = c - '0';
            } else if (c >= 'a' && c <= 'f') {
                digit = c - 'a' + 10;
            } else if (c >= 'A' && c <= 'F') {
                digit = c - 'A' + 10;
            } else {
                failAt(start, "malformed \\u escape");
            }
            v = v << 4 | std::uint32_t(digit);
        }
        return v;
    }

    std::uint32_t codePoint() {
        const std::uint32_t hi = hex4();
        if (hi < 0xD800 || hi > 0xDFFF) return hi;
        if (hi > 0xDBFF || peekByte() != '\\') fail("unpaired surrogate in a \\u escape");
        ++p_;
        if (peekByte() != 'u') fail("unpaired surrogate in a \\u escape");
        ++p_;
        const std::uint32_t lo = hex4();
        if (lo < 0xDC00 || lo > 0xDFFF) fail("unpaired surrogate in a \\u escape");
        return 0x10000 + ((hi - 0xD800) << 10) + (lo - 0xDC00);
    }

    Source& source_;
    const char* begin_ = nullptr; // the current piece
    const char* p_ = nullptr;
    const char* end_ = nullptr;
    std::uint64_t base_ = 0;      // offset of begin_
    std::uint64_t lines_ = 0;     // line breaks before begin_
    std::uint64_t lineStart_ = 0; // offset just after the last of them
    bool ended_ = false;
    std::string key_;
};

bool isFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

class TreeBuilder {
public:
    TreeBuilder(Reader& reader, const Progress& progress) : reader_(reader), progress_(progress) {
        result_.tree.arena = std::make_shared<NodeArena>();
    }

    // After the opening '[' of a folder: its info block.
    void openFolder(const Info& info) {
        std::size_t pathLength = 0;
        ScanNode* node = make(info, true, pathLength);
        result_.folderBlocks = addBytes(result_.folderBlocks, info.dsize);
        if (info.readError) ++result_.unreadable;
        stack_.push_back({node, pathLength, {}, {}});
    }
    void addFile(const Info& info) {
        std::size_t pathLength = 0;
        ScanNode* node = make(info, false, pathLength);
        stack_.back().children.push_back(node);
        if (info.hardLink && info.ino != 0) result_.links.push_back({node, 0, info.linkCount});
    }
    // At the closing ']' of a folder.
    void closeFolder() {
        Frame frame = std::move(stack_.back());
        stack_.pop_back();
        std::int64_t logical = frame.node->logicalSize();
        std::int64_t allocated = frame.node->allocatedSize();
        for (const ScanNode* c : frame.children) {
            logical = addBytes(logical, c->logicalSize());
            allocated = addBytes(allocated, c->allocatedSize());
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
        std::size_t pathLength;
        std::vector<ScanNode*> children;
        std::unordered_set<std::string_view> names; // the children's, kept by the arena
    };

    // The root as the store keys it: "/a/./b//c/" is "/a/b/c". A relative
    // root names no place of its own, and one with ".." may be somewhere
    // else than it says.
    std::string rootPath(const std::string& name) const {
        if (name.empty() || name.find('\0') != std::string::npos)
            reader_.fail("the root has no usable name");
        if (name.front() != '/') reader_.fail("the root \"" + name + "\" is not an absolute path");
        std::string path;
        std::string_view rest(name);
        while (!rest.empty()) {
            const std::size_t slash = rest.find('/');
            const std::string_view part = rest.substr(0, slash);
            rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
            if (part.empty() || part == ".") continue;
            if (part == "..") reader_.fail("the root \"" + name + "\" goes up with \"..\"");
            path += '/';
            path += part;
        }
        return path.empty() ? "/" : path;
    }

    // Adds an entry's path to what the store will hold, refused once the
    // paths outgrow their bound.
    void countPath(std::size_t length) {
        pathBytes_ += length;
        const std::uint64_t read = reader_.offset();
        const std::uint64_t allowed = std::max(kPathBytesFloor, kPathBytesPerInputByte * read);
        if (pathBytes_ > allowed) {
            reader_.fail("the folders nest too deeply to store: the paths of the first " +
                         std::to_string(result_.entries + 1) + " entries would take " +
                         ByteFormat::string(std::int64_t(pathBytes_)) + " in the scan, for " +
                         ByteFormat::string(std::int64_t(read)) + " of export");
        }
    }

    ScanNode* make(const Info& info, bool isDirectory, std::size_t& pathLength) {
        std::string path;
        if (stack_.empty()) {
            path = rootPath(info.name);
            pathLength = path.size();
        } else {
            Frame& parent = stack_.back();
            if (!isFileName(info.name)) reader_.fail("\"" + info.name + "\" is not a file name");
            if (parent.names.contains(info.name))
                reader_.fail("two entries named \"" + info.name + "\" in one folder");
            // Only the root is "/", the one path without a slash to add.
            pathLength = parent.pathLength + (parent.pathLength > 1 ? 1 : 0) + info.name.size();
        }
        countPath(pathLength);
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
        if (stack_.empty()) {
            result_.tree.root = node;
        } else {
            stack_.back().names.insert(node->name());
        }
        ++result_.entries;
        if (progress_ && result_.entries % kProgressEvery == 0) progress_(result_.entries);
        return node;
    }

    static constexpr std::int64_t kProgressEvery = 4096;
    Reader& reader_;
    const Progress& progress_;
    Imported result_;
    std::vector<Frame> stack_;
    std::uint64_t pathBytes_ = 0;
};

Imported parse(Reader& in, const Progress& progress) {
    in.expect('[');
    const std::int64_t major = in.integer();
    if (major != 1) in.fail("format version " + std::to_string(major) + " is not 1");
    in.expect(',');
    in.integer(); // later minor versions only add fields
    in.expect(',');
    Date timestamp = Date::distantPast();
    HardLinkMode hardLinks = HardLinkMode::once;
    in.expect('{');
    if (!in.consume('}')) {
        do {
            const std::string key = in.string();
            in.expect(':');
            if (key == "hard_links") {
                // Written by us: how the scan counted files with several names.
                const std::string mode = in.string();
                hardLinks = hardLinkMode(mode).value_or(HardLinkMode::once);
            } else if (key == "timestamp") {
                // A time to come, or before 1970, is not when the export was made.
                const std::int64_t t = in.integer();
                if (t >= 0 && t <= Date::now().seconds + kClockSlackSeconds)
                    timestamp = Date::fromUnix(t, 0);
            } else {
                in.skip();
            }
        } while (in.consume(','));
        in.expect('}');
    }
    in.expect(',');

    TreeBuilder builder(in, progress);
    Info info;
    in.expect('[');
    in.info(info);
    builder.openFolder(info);
    while (builder.open()) {
        if (in.consume(']')) {
            builder.closeFolder();
            continue;
        }
        in.expect(',');
        const bool folder = in.consume('[');
        in.info(info);
        if (folder) {
            builder.openFolder(info);
        } else {
            builder.addFile(info);
        }
    }
    in.expect(']');
    if (!in.atEnd()) in.fail("unexpected " + in.describe() + " after the export");
    Imported result = builder.finish();
    result.timestamp = timestamp;
    result.hardLinks = hardLinks;
    return result;
}

Result<Imported> parseFrom(Source& source, const std::string& shownName,
                           const Progress& progress = {}) {
    const std::string prefix = shownName.empty() ? "" : shownName + ": ";
    Reader in(source);
    try {
        return parse(in, progress);
    } catch (const ParseFailure& f) {
        return Error{"Interchange", 1, prefix + f.message};
    } catch (const SourceFailure& f) {
        return Error{"Interchange", 2, prefix + f.what};
    } catch (const Stopped&) {
        return Error{"Interchange", 3, prefix + "the import was stopped"};
    }
}

} // namespace

Result<Imported> read(std::string_view text) {
    TextSource source(text);
    return parseFrom(source, "");
}

Result<Imported> readFile(const std::string& path, std::stop_token stop) {
    if (path == "-") {
        platform::FileDescriptor fd(::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0));
        if (!fd.valid())
            return Error{"Interchange", 2,
                         std::string("cannot read standard input: ") + std::strerror(errno)};
        return readDescriptor(std::move(fd), "standard input", std::move(stop));
    }
    // The user named it: a link to an export is followed, but a FIFO or
    // a device, which could block or never end, is refused unread.
    auto file = platform::FileSystem::openRegular(path, platform::FileSystem::FinalLink::follow);
    if (!file) {
        const int err = file.error().code;
        const std::string why = err == ENXIO    ? "not a regular file"
                                : err == EISDIR ? "a folder, not an export"
                                                : std::strerror(err);
        return Error{"Interchange", 2, "cannot open " + path + ": " + why};
    }
    // gzread takes EAGAIN for a failure; a regular file never gives it,
    // but the descriptor is made blocking all the same.
    if (const int flags = ::fcntl(file->fd.get(), F_GETFL); flags != -1)
        (void)::fcntl(file->fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    return readDescriptor(std::move(file->fd), path, std::move(stop));
}

Result<Imported> readDescriptor(platform::FileDescriptor fd, const std::string& shownName,
                                std::stop_token stop, const Progress& progress) {
    gzFile file = gzdopen(fd.get(), "rb");
    if (file == nullptr)
        return Error{"Interchange", 2, "cannot read " + shownName + ": " + std::strerror(ENOMEM)};
    (void)fd.take(); // gzclose closes it
    gzbuffer(file, kChunkBytes);
    GzipSource source(file, std::move(stop));
    return parseFrom(source, shownName, progress);
}

} // namespace tb::NcduJson
