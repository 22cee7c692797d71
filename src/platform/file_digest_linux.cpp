#include "platform/file_digest.h"

#include "platform/file_descriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <openssl/evp.h>

#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

namespace tb::platform {
namespace {

EVP_MD_CTX* evp(void* ctx) {
    return static_cast<EVP_MD_CTX*>(ctx);
}

class RegularFile {
public:
    // O_NONBLOCK: opening a FIFO without it waits for a writer forever.
    // O_NOFOLLOW: a scanned symbolic link is the link, not its target.
    explicit RegularFile(const std::string& path)
        : fd_(openRetrying(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)) {
        struct stat st {};
        if (fd_.valid() && (::fstat(fd_.get(), &st) != 0 || !S_ISREG(st.st_mode))) fd_.reset();
    }

    bool isOpen() const { return fd_.valid(); }
    std::int64_t size() const {
        struct stat st {};
        return ::fstat(fd_.get(), &st) == 0 ? st.st_size : 0;
    }
    void adviseSequential() const { ::posix_fadvise(fd_.get(), 0, 0, POSIX_FADV_SEQUENTIAL); }
    // Bytes read, 0 at the end, -1 on a read error.
    ssize_t read(char* buffer, std::size_t length) {
        return readRetrying(fd_.get(), buffer, length);
    }

private:
    FileDescriptor fd_;
};

// Below this size a second thread costs more than the overlap gains.
constexpr std::int64_t overlapMinimumSize = 8 * 1024 * 1024;

// Reads the next chunk on a second thread while the current one is hashed:
// each read is a copy out of the page cache (or a wait for the disk) that
// would otherwise sit idle next to the hashing. Reads stay sequential.
std::optional<FileDigest> digestOverlapped(RegularFile& file, const std::stop_token& stop) {
    constexpr std::size_t slots = 3;
    struct Slot {
        std::unique_ptr<char[]> data{new char[ContentReader::chunkSize]};
        ssize_t length = 0; // bytes, 0 at the end, -1 on a read error
    };
    Slot slot[slots];
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t filled = 0;   // guarded by mutex: chunks handed to the hasher
    std::size_t consumed = 0; // guarded by mutex: chunks the hasher is done with
    bool quit = false;        // guarded by mutex

    std::thread reader([&] {
        for (std::size_t i = 0;; ++i) {
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return quit || i - consumed < slots; });
                if (quit) return;
            }
            Slot& s = slot[i % slots];
            s.length = file.read(s.data.get(), ContentReader::chunkSize);
            std::lock_guard lock(mutex);
            ++filled;
            changed.notify_all();
            if (s.length <= 0) return;
        }
    });

    Sha256 hasher;
    FileDigest result;
    bool failed = false;
    for (std::size_t i = 0;; ++i) {
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return filled > i; });
        }
        const Slot& s = slot[i % slots];
        if (s.length < 0 || stop.stop_requested()) failed = true;
        if (failed || s.length == 0) break;
        hasher.update(s.data.get(), static_cast<std::size_t>(s.length));
        result.bytesRead += s.length;
        std::lock_guard lock(mutex);
        ++consumed;
        changed.notify_all();
    }
    {
        std::lock_guard lock(mutex);
        quit = true;
        changed.notify_all();
    }
    reader.join();
    if (failed) return std::nullopt;
    result.sha256 = hasher.finish();
    return result;
}

class SystemContentReader final : public ContentReader {
public:
    std::optional<FileDigest> digest(const std::string& path, std::stop_token stop) const override {
        RegularFile file(path);
        if (!file.isOpen()) return std::nullopt;
        file.adviseSequential();
        if (file.size() >= overlapMinimumSize) return digestOverlapped(file, stop);
        thread_local std::unique_ptr<char[]> buffer(new char[chunkSize]);
        Sha256 hasher;
        FileDigest result;
        for (;;) {
            if (stop.stop_requested()) return std::nullopt;
            const ssize_t n = file.read(buffer.get(), chunkSize);
            if (n < 0) return std::nullopt;
            if (n == 0) break;
            hasher.update(buffer.get(), static_cast<std::size_t>(n));
            result.bytesRead += n;
        }
        result.sha256 = hasher.finish();
        return result;
    }

    std::optional<std::string> head(const std::string& path, std::size_t length) const override {
        RegularFile file(path);
        if (!file.isOpen()) return std::nullopt;
        std::string bytes(length, '\0');
        std::size_t filled = 0;
        while (filled < length) {
            const ssize_t n = file.read(bytes.data() + filled, length - filled);
            if (n < 0) return std::nullopt;
            if (n == 0) break;
            filled += static_cast<std::size_t>(n);
        }
        bytes.resize(filled);
        return bytes;
    }
};

} // namespace

Sha256::Sha256() : ctx_(EVP_MD_CTX_new()) {
    if (!ctx_ || EVP_DigestInit_ex(evp(ctx_), EVP_sha256(), nullptr) != 1) throw std::bad_alloc();
}

Sha256::~Sha256() {
    EVP_MD_CTX_free(evp(ctx_));
}

void Sha256::update(const void* data, std::size_t length) {
    EVP_DigestUpdate(evp(ctx_), data, length);
}

Sha256Digest Sha256::finish() {
    Sha256Digest out{};
    unsigned int len = 0;
    EVP_DigestFinal_ex(evp(ctx_), out.data(), &len);
    EVP_DigestInit_ex(evp(ctx_), EVP_sha256(), nullptr);
    return out;
}

const ContentReader& systemContentReader() {
    static const SystemContentReader reader;
    return reader;
}

} // namespace tb::platform
