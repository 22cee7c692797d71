#include "platform/file_digest.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace tb {
namespace {

using test::TempDir;

TEST(Sha256, MatchesTheStandardVectorsAlsoForLargeFiles) {
    platform::Sha256 h;
    const auto hex = [](const platform::Sha256Digest& d) {
        static constexpr char digits[] = "0123456789abcdef";
        std::string out;
        for (unsigned char b : d) {
            out += digits[b >> 4];
            out += digits[b & 15];
        }
        return out;
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

} // namespace
} // namespace tb
