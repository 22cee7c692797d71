#include "platform/bundle_reader.h"

#include "platform/file_descriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace tb::platform {
namespace {

// Info.plist files are a few KiB; anything far larger is not one.
constexpr std::size_t maxPlistBytes = 8 * 1024 * 1024;

std::optional<std::string> readSmallRegularFile(const std::string& path) {
    FileDescriptor file(openRetrying(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file.valid()) return std::nullopt;
    const int fd = file.get();
    struct stat st {};
    std::optional<std::string> result;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
        static_cast<std::uint64_t>(st.st_size) <= maxPlistBytes) {
        std::string bytes;
        char buffer[65536];
        for (;;) {
            const ssize_t n = readRetrying(fd, buffer, sizeof buffer);
            if (n < 0 || bytes.size() + static_cast<std::size_t>(n) > maxPlistBytes) break;
            if (n == 0) {
                result = std::move(bytes);
                break;
            }
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
    }
    return result;
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Character data with the five XML entities and numeric references decoded;
// anything else is kept as written.
void appendDecoded(std::string& out, std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t amp = text.find('&', i);
        if (amp == std::string_view::npos) {
            out.append(text.substr(i));
            return;
        }
        out.append(text.substr(i, amp - i));
        const std::size_t semi = text.find(';', amp);
        if (semi == std::string_view::npos || semi - amp > 12) {
            out += '&';
            i = amp + 1;
            continue;
        }
        const std::string_view ref = text.substr(amp + 1, semi - amp - 1);
        bool known = true;
        if (ref == "lt")
            out += '<';
        else if (ref == "gt")
            out += '>';
        else if (ref == "amp")
            out += '&';
        else if (ref == "quot")
            out += '"';
        else if (ref == "apos")
            out += '\'';
        else if (ref.size() > 1 && ref[0] == '#') {
            const bool hex = ref[1] == 'x' || ref[1] == 'X';
            std::uint32_t cp = 0;
            const std::string_view digits = ref.substr(hex ? 2 : 1);
            known = !digits.empty();
            for (char c : digits) {
                int d;
                if (c >= '0' && c <= '9')
                    d = c - '0';
                else if (hex && c >= 'a' && c <= 'f')
                    d = c - 'a' + 10;
                else if (hex && c >= 'A' && c <= 'F')
                    d = c - 'A' + 10;
                else {
                    known = false;
                    break;
                }
                cp = cp * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
                if (cp > 0x10FFFF) {
                    known = false;
                    break;
                }
            }
            if (known && (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF))) known = false;
            if (known) appendUtf8(out, cp);
        } else {
            known = false;
        }
        if (known) {
            i = semi + 1;
        } else {
            out += '&';
            i = amp + 1;
        }
    }
}

struct Tag {
    std::string_view name;
    bool closing = false;
    bool selfClosing = false;
};

// A forward-only reader of the small XML subset property lists use.
class PlistCursor {
public:
    explicit PlistCursor(std::string_view doc) : doc_(doc) {}

    // The next element tag, skipping character data, comments, processing
    // instructions and the document type. None at the end or when broken.
    std::optional<Tag> nextTag() {
        for (;;) {
            const std::size_t lt = doc_.find('<', pos_);
            if (lt == std::string_view::npos) return std::nullopt;
            pos_ = lt;
            if (skipSpecial()) continue;
            if (broken_) return std::nullopt;
            return readTag();
        }
    }

    // Text up to the closing tag of `name`; none when another element
    // interrupts it.
    std::optional<std::string> text(std::string_view name) {
        std::string out;
        for (;;) {
            const std::size_t lt = doc_.find('<', pos_);
            if (lt == std::string_view::npos) return std::nullopt;
            appendDecoded(out, doc_.substr(pos_, lt - pos_));
            pos_ = lt;
            if (doc_.substr(pos_).starts_with("<![CDATA[")) {
                const std::size_t end = doc_.find("]]>", pos_ + 9);
                if (end == std::string_view::npos) return std::nullopt;
                out.append(doc_.substr(pos_ + 9, end - pos_ - 9));
                pos_ = end + 3;
                continue;
            }
            if (skipSpecial()) continue;
            if (broken_) return std::nullopt;
            auto tag = readTag();
            if (!tag || !tag->closing || tag->name != name) return std::nullopt;
            return out;
        }
    }

    // Skips the rest of an element whose opening tag was just read.
    bool skip(const Tag& open) {
        if (open.selfClosing) return true;
        int depth = 1;
        while (depth > 0) {
            auto tag = nextTag();
            if (!tag) return false;
            if (tag->closing)
                --depth;
            else if (!tag->selfClosing)
                ++depth;
        }
        return true;
    }

private:
    // Comments, <?...?> and <!...> declarations; true when one was skipped.
    bool skipSpecial() {
        const std::string_view rest = doc_.substr(pos_);
        std::string_view end;
        if (rest.starts_with("<!--"))
            end = "-->";
        else if (rest.starts_with("<?"))
            end = "?>";
        else if (rest.starts_with("<!") && !rest.starts_with("<![CDATA["))
            end = ">";
        else
            return false;
        const std::size_t e = doc_.find(end, pos_ + 2);
        if (e == std::string_view::npos) {
            broken_ = true;
            return false;
        }
        pos_ = e + end.size();
        return true;
    }

    std::optional<Tag> readTag() {
        Tag tag;
        std::size_t i = pos_ + 1;
        if (i < doc_.size() && doc_[i] == '/') {
            tag.closing = true;
            ++i;
        }
        const std::size_t nameStart = i;
        while (i < doc_.size() && doc_[i] != '>' && doc_[i] != '/' && doc_[i] != ' ' &&
               doc_[i] != '\t' && doc_[i] != '\n' && doc_[i] != '\r') {
            ++i;
        }
        tag.name = doc_.substr(nameStart, i - nameStart);
        char quote = 0;
        for (; i < doc_.size(); ++i) {
            const char c = doc_[i];
            if (quote) {
                if (c == quote) quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                tag.selfClosing = doc_[i - 1] == '/';
                pos_ = i + 1;
                if (tag.name.empty()) return std::nullopt;
                return tag;
            }
        }
        broken_ = true;
        return std::nullopt;
    }

    std::string_view doc_;
    std::size_t pos_ = 0;
    bool broken_ = false;
};

} // namespace

namespace BundleReader {

BundleInfo parseInfoPlist(std::string_view document) {
    PlistCursor cursor(document);
    auto root = cursor.nextTag();
    if (!root || root->name != "plist" || root->closing || root->selfClosing) return {};
    auto dict = cursor.nextTag();
    if (!dict || dict->name != "dict" || dict->closing) return {};
    BundleInfo info;
    if (dict->selfClosing) return info;
    for (;;) {
        auto tag = cursor.nextTag();
        if (!tag) return {};
        if (tag->closing && tag->name == "dict") return info;
        if (tag->closing || tag->name != "key") return {};
        std::optional<std::string> key =
            tag->selfClosing ? std::optional<std::string>("") : cursor.text("key");
        if (!key) return {};
        auto value = cursor.nextTag();
        if (!value || value->closing) return {};
        if (value->name != "string") {
            if (!cursor.skip(*value)) return {};
            continue;
        }
        std::optional<std::string> text =
            value->selfClosing ? std::optional<std::string>("") : cursor.text("string");
        if (!text) return {};
        // A repeated key: the last one wins.
        if (*key == "CFBundleIdentifier")
            info.identifier = std::move(text);
        else if (*key == "CFBundleDisplayName")
            info.displayName = std::move(text);
        else if (*key == "CFBundleName")
            info.name = std::move(text);
    }
}

BundleInfo read(const std::string& bundlePath) {
    auto bytes = readSmallRegularFile(bundlePath + "/Contents/Info.plist");
    if (!bytes || bytes->starts_with("bplist")) return {};
    return parseInfoPlist(*bytes);
}

} // namespace BundleReader

} // namespace tb::platform
