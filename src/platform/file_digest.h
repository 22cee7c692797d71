// SHA-256 of byte chunks and of whole files, read sequentially. Any thread;
// no shared state. A file is opened without following a final link and
// without blocking, and only a regular file is ever read: a FIFO, socket or
// device in a scanned tree is refused before the first read.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>

namespace tb::platform {

using Sha256Digest = std::array<std::uint8_t, 32>;

// FIPS 180-4 SHA-256 from OpenSSL's libcrypto (EVP), which uses the
// processor's SHA instructions where they exist.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void update(const void* data, std::size_t length);
    // The digest of everything fed since construction or the last finish.
    Sha256Digest finish();

private:
    void* ctx_; // EVP_MD_CTX, kept out of this header
};

struct FileDigest {
    Sha256Digest sha256{};
    std::int64_t bytesRead = 0;
};

// How the duplicate finder reads file contents; tests put a fake behind it.
class ContentReader {
public:
    static constexpr std::size_t chunkSize = 1'048'576;

    virtual ~ContentReader() = default;
    // The digest of the whole file, read in chunks of `chunkSize`. None when
    // the file cannot be opened as a regular file, when a read fails (the
    // content is then unknown, not shorter) or when `stop` is requested.
    virtual std::optional<FileDigest> digest(const std::string& path,
                                             std::stop_token stop) const = 0;
    // Up to `length` leading bytes (fewer only at the end of the file); none
    // when the file cannot be opened as a regular file or the read fails.
    virtual std::optional<std::string> head(const std::string& path, std::size_t length) const = 0;
};

// The real file system.
const ContentReader& systemContentReader();

} // namespace tb::platform
