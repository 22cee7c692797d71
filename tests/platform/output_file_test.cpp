#include "platform/output_file.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/special_files.h"
#include "support/temp_dir.h"

namespace tb {
namespace {

using platform::OutputFile;
using Staging = OutputFile::Staging;
using test::TempDir;

// Every test runs with each way of staging the file, under umask 022.
class OutputFileTest : public ::testing::TestWithParam<Staging> {
protected:
    ~OutputFileTest() override { ::umask(oldMask); }

    const mode_t oldMask = ::umask(022);
    const Staging staging = GetParam();
    TempDir dir;
};

INSTANTIATE_TEST_SUITE_P(Staged, OutputFileTest,
                         ::testing::Values(Staging::unnamedWhereSupported, Staging::named),
                         [](const auto& staged) {
                             return staged.param == Staging::named ? "named" : "unnamed";
                         });

TEST_P(OutputFileTest, AppearsOnlyWhenPublishedWithTheModeAskedForLessTheUmask) {
    const std::pair<mode_t, unsigned> modes[] = {{0600, 0600}, {0644, 0644}, {0666, 0644}};
    for (const auto& [asked, expected] : modes) {
        ::unlink((dir / "result").c_str());
        auto out = OutputFile::create(dir / "result", {.mode = asked, .staging = staging});
        ASSERT_TRUE(out) << out.error().message;
        ASSERT_TRUE(out->write("first "));
        ASSERT_TRUE(out->write(std::string(3 << 20, 'x'))); // past the buffer
        EXPECT_FALSE(test::exists(dir / "result"));
        const auto before = test::namesIn(dir.path());
        if (staging == Staging::named) {
            ASSERT_EQ(before.size(), 1u);
            EXPECT_EQ(before[0], out->stagingName());
            EXPECT_LE(before[0].size(), 20u);
        } else {
            EXPECT_TRUE(before.empty());
        }
        ASSERT_TRUE(out->publish());
        EXPECT_EQ(test::namesIn(dir.path()), std::vector<std::string>{"result"});
        EXPECT_EQ(test::readFile(dir / "result"), "first " + std::string(3 << 20, 'x'));
        EXPECT_EQ(test::modeOf(dir / "result"), expected) << asked;
    }
}

TEST_P(OutputFileTest, LeavesNothingUnlessPublished) {
    test::writeFile(dir / "kept", "old");
    for (const std::string target : {"fresh", "kept"}) {
        auto out = OutputFile::create(dir / target, {.staging = staging});
        ASSERT_TRUE(out);
        ASSERT_TRUE(out->write("new"));
    }
    EXPECT_EQ(test::namesIn(dir.path()), std::vector<std::string>{"kept"});
    EXPECT_EQ(test::readFile(dir / "kept"), "old");
}

TEST_P(OutputFileTest, ReplacesAFileOrALinkNeverWhatTheLinkPointsTo) {
    test::writeFile(dir / "victim", "SECRET");
    test::writeFile(dir / "old", "old");
    ASSERT_EQ(::symlink((dir / "victim").c_str(), (dir / "link").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "nowhere").c_str(), (dir / "dangling").c_str()), 0);
    for (const std::string target : {"old", "link", "dangling"}) {
        auto out = OutputFile::create(dir / target, {.staging = staging});
        ASSERT_TRUE(out) << out.error().message;
        ASSERT_TRUE(out->write("ours"));
        ASSERT_TRUE(out->publish()) << target;
        EXPECT_EQ(test::typeOf(dir / target), mode_t(S_IFREG)) << target;
        EXPECT_EQ(test::readFile(dir / target), "ours");
    }
    EXPECT_EQ(test::readFile(dir / "victim"), "SECRET");
    EXPECT_FALSE(test::exists(dir / "nowhere"));
    EXPECT_EQ(test::namesIn(dir.path()).size(), 4u);
}

TEST_P(OutputFileTest, NeverReplacesADeviceFifoSocketOrFolder) {
    const auto special = test::makeSpecialFiles(dir.path());
    ASSERT_GE(special.size(), 3u);
    const auto names = test::namesIn(dir.path());
    for (const auto& [target, type] : special) {
        auto early = OutputFile::create(target, {.staging = staging});
        ASSERT_FALSE(early) << target;
        EXPECT_NE(early.error().message.find("will not replace '" + target + "': it is a "),
                  std::string::npos)
            << early.error().message;
        EXPECT_FALSE(platform::checkTarget(target)) << target;

        // Made special after the file was begun: the publish checks again.
        const std::string late = target + "-late";
        auto out = OutputFile::create(late, {.staging = staging});
        ASSERT_TRUE(out);
        ASSERT_TRUE(out->write("ours"));
        ASSERT_EQ(::rename(target.c_str(), late.c_str()), 0);
        EXPECT_FALSE(out->publish()) << target;
        EXPECT_EQ(test::typeOf(late), type) << target;
        ASSERT_EQ(::rename(late.c_str(), target.c_str()), 0);

        test::writeFile(dir / "staged", "ours");
        EXPECT_FALSE(platform::moveIntoPlace(dir / "staged", target)) << target;
        EXPECT_EQ(test::typeOf(target), type) << target;
        ::unlink((dir / "staged").c_str());
    }
    EXPECT_EQ(test::namesIn(dir.path()), names);
}

TEST_P(OutputFileTest, TakesTheLongestNameAFolderAllows) {
    const std::string target = dir / std::string(255, 'n');
    auto out = OutputFile::create(target, {.staging = staging});
    ASSERT_TRUE(out) << out.error().message;
    ASSERT_TRUE(out->write("ours"));
    ASSERT_TRUE(out->publish());
    EXPECT_EQ(test::readFile(target), "ours");
    test::writeFile(dir / "staged", "again");
    ASSERT_TRUE(platform::moveIntoPlace(dir / "staged", target));
    EXPECT_EQ(test::readFile(target), "again");
}

TEST_P(OutputFileTest, AFailedWriteIsNeverPublished) {
    // A file-size limit makes write(2) fail with EFBIG instead of a signal.
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit small{4096, limit.rlim_max};
    Status big = okStatus();
    Status published = okStatus();
    {
        auto out = OutputFile::create(dir / "result", {.staging = staging});
        ASSERT_TRUE(out);
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        big = out->write(std::string(2 << 20, 'x'));
        published = out->publish();
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(big);
    ASSERT_FALSE(published);
    EXPECT_NE(published.error().message.find("cannot write '" + dir / "result" + "'"),
              std::string::npos)
        << published.error().message;
    EXPECT_TRUE(test::namesIn(dir.path()).empty());
}

} // namespace
} // namespace tb
