#include "platform/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/uuid.h"

namespace tb::platform {
namespace {

constexpr std::size_t kBufferSize = 1 << 20;
constexpr int kNameAttempts = 16;

struct Place {
    std::string folder;
    std::string name;
};

Error cannotWrite(int err, const std::string& target) {
    return Error::posix(err, "cannot write '" + target + "'");
}

Result<Place> split(const std::string& target) {
    const auto slash = target.rfind('/');
    Place p;
    p.folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    p.name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (p.name.empty() || p.name == "." || p.name == "..") return cannotWrite(EISDIR, target);
    return p;
}

Result<FileDescriptor> openFolder(const std::string& folder, const std::string& target) {
    FileDescriptor fd(openRetrying(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid()) return cannotWrite(errno, target);
    return fd;
}

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "folder";
    if (S_ISCHR(mode)) return "character device";
    if (S_ISBLK(mode)) return "block device";
    if (S_ISFIFO(mode)) return "FIFO";
    if (S_ISSOCK(mode)) return "socket";
    return "special file";
}

// A rename would turn a device or a FIFO into a plain file, which whoever
// set it up never meant; a link at the name is replaced, not followed.
Status checkAt(int folder, const std::string& name, const std::string& target) {
    struct stat st {};
    if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) return okStatus();
        return cannotWrite(errno, target);
    }
    if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) return okStatus();
    return Error{"POSIX", S_ISDIR(st.st_mode) ? EISDIR : EEXIST,
                 "will not replace '" + target + "': it is a " + kindOf(st.st_mode) +
                     ", not a regular file"};
}

// Short, so that a target name of the full 255 bytes still has room.
std::string randomName() {
    static constexpr char kDigits[] = "0123456789abcdef";
    const Uuid u = Uuid::random();
    std::string name = ".tarnbeck-";
    for (int i = 0; i < 5; ++i) {
        name += kDigits[u.bytes[std::size_t(i)] >> 4];
        name += kDigits[u.bytes[std::size_t(i)] & 0xf];
    }
    return name;
}

// open(2): a kernel or file system without O_TMPFILE answers one of these.
bool tmpfileUnsupported(int err) {
    return err == EOPNOTSUPP || err == EISDIR || err == EINVAL;
}

} // namespace

OutputFile::OutputFile(std::string target, FileDescriptor folder, std::string name)
    : target_(std::move(target)), folder_(std::move(folder)), name_(std::move(name)) {}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : target_(std::move(other.target_)),
      folder_(std::move(other.folder_)),
      name_(std::move(other.name_)),
      file_(std::move(other.file_)),
      stagingName_(std::move(other.stagingName_)),
      buffer_(std::move(other.buffer_)),
      failed_(std::move(other.failed_)),
      published_(other.published_) {
    other.stagingName_.clear();
    other.published_ = true;
}

OutputFile::~OutputFile() {
    if (!published_) discard();
}

Result<OutputFile> OutputFile::create(const std::string& target, Options options) {
    auto place = split(target);
    if (!place) return place.error();
    auto folder = openFolder(place->folder, target);
    if (!folder) return folder.error();
    if (auto s = checkAt(folder->get(), place->name, target); !s) return s.error();
    OutputFile out(target, std::move(*folder), place->name);

    // Naming an unnamed file goes through /proc (linkat(2)).
    if (options.staging == Staging::unnamedWhereSupported && ::access("/proc/self/fd", X_OK) == 0) {
        int fd;
        do {
            fd = ::openat(out.folder_.get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, options.mode);
        } while (fd < 0 && errno == EINTR);
        if (fd >= 0) {
            out.file_.reset(fd);
            return out;
        }
        if (!tmpfileUnsupported(errno)) return cannotWrite(errno, target);
    }
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string name = randomName();
        int fd;
        do {
            fd = ::openat(out.folder_.get(), name.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, options.mode);
        } while (fd < 0 && errno == EINTR);
        if (fd >= 0) {
            out.file_.reset(fd);
            out.stagingName_ = name;
            return out;
        }
        if (errno != EEXIST) return cannotWrite(errno, target);
    }
    return cannotWrite(EEXIST, target);
}

Status OutputFile::write(std::string_view data) {
    if (!failed_) return failed_;
    if (buffer_.size() + data.size() > kBufferSize) {
        if (auto s = flush(); !s) return s;
        if (data.size() >= kBufferSize) {
            if (auto s = writeAll(file_.get(), data); !s)
                failed_ = cannotWrite(s.error().code, target_);
            return failed_;
        }
    }
    buffer_.append(data);
    return okStatus();
}

Status OutputFile::flush() {
    if (!failed_) return failed_;
    if (auto s = writeAll(file_.get(), buffer_); !s) failed_ = cannotWrite(s.error().code, target_);
    buffer_.clear();
    return failed_;
}

Status OutputFile::linkUnder(const std::string& name) {
    const std::string self = "/proc/self/fd/" + std::to_string(file_.get());
    if (::linkat(AT_FDCWD, self.c_str(), folder_.get(), name.c_str(), AT_SYMLINK_FOLLOW) != 0)
        return Error::posix(errno);
    return okStatus();
}

Status OutputFile::stageUnderRandomName() {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string name = randomName();
        auto linked = linkUnder(name);
        if (linked) {
            stagingName_ = name;
            return okStatus();
        }
        if (linked.error().code != EEXIST) return cannotWrite(linked.error().code, target_);
    }
    return cannotWrite(EEXIST, target_);
}

Status OutputFile::publish() {
    if (published_) return okStatus();
    if (auto s = flush(); !s) return s;
    if (::fsync(file_.get()) != 0) return failed_ = cannotWrite(errno, target_);
    if (stagingName_.empty()) {
        // linkat(2) never replaces a name: whatever is there already goes
        // through the checked rename below.
        auto linked = linkUnder(name_);
        if (!linked && linked.error().code != EEXIST)
            return cannotWrite(linked.error().code, target_);
        if (!linked) {
            if (auto s = stageUnderRandomName(); !s) return s;
        }
    }
    if (!stagingName_.empty()) {
        if (auto s = checkAt(folder_.get(), name_, target_); !s) return s;
        if (::renameat(folder_.get(), stagingName_.c_str(), folder_.get(), name_.c_str()) != 0)
            return cannotWrite(errno, target_);
        stagingName_.clear();
    }
    published_ = true;
    // The name is in place; a folder that cannot be synced only weakens the
    // guarantee after a power cut.
    (void)::fsync(folder_.get());
    return okStatus();
}

void OutputFile::discard() {
    if (!stagingName_.empty() && file_.valid()) {
        // Only our own file: in a folder without the sticky bit someone may
        // have put another in its place.
        struct stat mine {
        }, named{};
        if (::fstat(file_.get(), &mine) == 0 &&
            ::fstatat(folder_.get(), stagingName_.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            mine.st_ino == named.st_ino && mine.st_dev == named.st_dev) {
            ::unlinkat(folder_.get(), stagingName_.c_str(), 0);
        }
    }
    stagingName_.clear();
    file_.reset();
}

Status checkTarget(const std::string& target) {
    auto place = split(target);
    if (!place) return place.error();
    auto folder = openFolder(place->folder, target);
    if (!folder) return folder.error();
    return checkAt(folder->get(), place->name, target);
}

Status moveIntoPlace(const std::string& from, const std::string& target) {
    auto place = split(target);
    if (!place) return place.error();
    auto folder = openFolder(place->folder, target);
    if (!folder) return folder.error();
    if (auto s = checkAt(folder->get(), place->name, target); !s) return s;
    if (::renameat(AT_FDCWD, from.c_str(), folder->get(), place->name.c_str()) != 0)
        return cannotWrite(errno, target);
    (void)::fsync(folder->get());
    return okStatus();
}

} // namespace tb::platform
