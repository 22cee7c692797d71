// Whole files read into memory or digested.
#include "platform/file_digest.h"
#include "platform/file_system.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "support/special_files.h"
#include "support/temp_dir.h"

namespace tb {
namespace {

using platform::FileSystem::readWhole;
using test::TempDir;

TEST(Sha256, MatchesTheStandardVectorsAlsoForLargeFiles) {
    platform::Sha256 h;
    const auto hex = [](const platform::Sha256Digest& d) {
        char out[2 * 32 + 1] = {};
        for (std::size_t i = 0; i < d.size(); ++i)
            std::snprintf(out + 2 * i, 3, "%02x", d[i]);
        return std::string(out);
    };
    EXPECT_EQ(hex(h.finish()), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    h.update("ab", 2);
    h.update("c", 1);
    EXPECT_EQ(hex(h.finish()), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // Large files digest the same as small ones, unless stopped.
    TempDir dir;
    test::putSized(dir / "big", 20 * 1024 * 1024 + 123, 9);
    const std::string content = test::readFile(dir / "big");
    h.update(content.data(), content.size());
    const auto d = platform::systemContentReader().digest(dir / "big", {});
    ASSERT_TRUE(d);
    EXPECT_EQ(d->sha256, h.finish());
    EXPECT_EQ(d->bytesRead, static_cast<std::int64_t>(content.size()));
    std::stop_source stop;
    stop.request_stop();
    EXPECT_FALSE(platform::systemContentReader().digest(dir / "big", stop.get_token()));
}

std::string textOf(const Result<std::string>& r) {
    return r ? *r : "error: " + r.error().message;
}

TEST(ReadWhole, GivesTheWholeFileUpToItsBoundAndRefusesWhatIsLargerOrNoFile) {
    TempDir dir;
    const std::string big(200'000, 'x');
    test::writeFile(dir / "small", "one\ntwo\n");
    test::writeFile(dir / "empty", "");
    test::writeFile(dir / "big", big);
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
    for (const auto& special : test::makeSpecialFiles(dir.path()))
        EXPECT_FALSE(readWhole(special.path, 1 << 20)) << special.path;
}

} // namespace
} // namespace tb
