#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "support/special_files.h"
#include "support/temp_dir.h"

namespace tb {
namespace {

using platform::FileSystem::readWhole;
using test::TempDir;

void writeText(const std::string& path, const std::string& text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(::write(fd, text.data(), text.size()), ssize_t(text.size()));
    ::close(fd);
}

std::string textOf(const Result<std::string>& r) {
    return r ? *r : "error: " + r.error().message;
}

TEST(ReadWhole, GivesTheWholeFileUpToItsBoundAndRefusesWhatIsLargerOrNoFile) {
    TempDir dir;
    const std::string big(200'000, 'x');
    writeText(dir / "small", "one\ntwo\n");
    writeText(dir / "empty", "");
    writeText(dir / "big", big);
    ASSERT_EQ(::symlink((dir / "small").c_str(), (dir / "link").c_str()), 0);

    EXPECT_EQ(textOf(readWhole(dir / "small", 8)), "one\ntwo\n");
    EXPECT_EQ(textOf(readWhole(dir / "empty", 0)), "");
    // Larger than one read's buffer, and exactly at the bound.
    EXPECT_EQ(textOf(readWhole(dir / "big", big.size())), big);

    const std::pair<std::string, int> refused[] = {
        {dir / "small", EFBIG}, {dir / "big", EFBIG}, {dir / "missing", ENOENT},
        {dir / "link", ELOOP},  {dir.path(), EISDIR},
    };
    for (const auto& [path, code] : refused) {
        const auto text = readWhole(path, 7);
        ASSERT_FALSE(text) << path;
        EXPECT_EQ(text.error().code, code) << path;
    }
    // A FIFO without a writer would block a plain read forever.
    for (const auto& special : test::makeSpecialFiles(dir.path())) {
        EXPECT_FALSE(readWhole(special.path, 1 << 20)) << special.path;
    }
}

} // namespace
} // namespace tb
