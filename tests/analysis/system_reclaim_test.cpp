// What the machine can give back with one command, read from a fixture root
// so that nothing depends on this computer, and container tools answered by
// a fake runner.
#include <gtest/gtest.h>

#include "analysis/linux_apps.h"
#include "analysis/system_reclaim.h"
#include "support/platform_fakes.h"
#include "support/temp_dir.h"

namespace tb {
namespace {

using test::put;
using test::putSized;

class SystemReclaimTest : public ::testing::Test {
protected:
    void SetUp() override {
        sources.systemRoot = root.path();
        sources.runningKernel = "6.1.0-17-amd64";
        sources.programDirs = {root / "usr/bin"};
    }
    std::vector<SystemReclaim> gather(std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        return SystemReclaims::gather(sources, runner, limit);
    }
    static const SystemReclaim* item(const std::vector<SystemReclaim>& all, std::string_view id) {
        for (const auto& r : all) {
            if (r.id == id) return &r;
        }
        return nullptr;
    }

    test::TempDir root;
    AppSources sources;
    test::FakeRunner runner;
};

TEST_F(SystemReclaimTest, APlainMachineOffersNothing) {
    EXPECT_TRUE(gather().empty());
}

TEST_F(SystemReclaimTest, TheAptCacheJournalKernelsAndAutoremovable) {
    putSized(root / "var/cache/apt/archives/vim_9.0_amd64.deb", 700'000, 1);
    putSized(root / "var/cache/apt/archives/libx_1_amd64.deb", 300'000, 2);
    put(root / "var/cache/apt/archives/lock", "");
    putSized(root / "var/log/journal/abc/system.journal", 110'000'000, 3);
    const auto pkg = [](const std::string& name, int kb, const std::string& more = "",
                        const std::string& status = "install ok installed") {
        return "Package: " + name + "\nStatus: " + status +
               "\nInstalled-Size: " + std::to_string(kb) + "\n" + more + "\n";
    };
    put(root / "var/lib/dpkg/status",
        pkg("editor", 10, "Depends: libused\n") + pkg("libused", 20) + pkg("libhinted", 25) +
            pkg("libold", 30, "Depends: libdeep\n") + pkg("libdeep", 40) +
            pkg("libgone", 50, "", "deinstall ok config-files") +
            pkg("tools", 1, "Recommends: libhinted | libother\n") +
            pkg("linux-image-6.1.0-9-amd64", 400000) + pkg("linux-image-6.1.0-17-amd64", 410000) +
            pkg("linux-image-6.1.0-18-amd64", 420000) +
            pkg("linux-image-6.1.0-10-amd64-unsigned", 390000) +
            pkg("linux-image-amd64", 1, "Depends: linux-image-6.1.0-18-amd64\n"));
    put(root / "var/lib/apt/extended_states",
        "Package: libused\nArchitecture: amd64\nAuto-Installed: 1\n\n"
        "Package: libhinted\nAuto-Installed: 1\n\n"
        "Package: libold\nAuto-Installed: 1\n\nPackage: libdeep\nAuto-Installed: 1\n\n"
        "Package: libgone\nAuto-Installed: 1\n\nPackage: editor\nAuto-Installed: 0\n");

    const auto all = gather();
    const SystemReclaim* cache = item(all, "apt-cache");
    ASSERT_TRUE(cache);
    EXPECT_GE(cache->bytes, 1'000'000);
    EXPECT_EQ(cache->command, "sudo apt clean");

    const SystemReclaim* orphans = item(all, "autoremove");
    ASSERT_TRUE(orphans);
    EXPECT_EQ(orphans->bytes, (30 + 40) * 1024);
    EXPECT_EQ(orphans->command, "sudo apt autoremove");
    EXPECT_NE(orphans->detail.find("libold, libdeep"), std::string::npos) << orphans->detail;

    const SystemReclaim* kernels = item(all, "old-kernels");
    ASSERT_TRUE(kernels);
    EXPECT_EQ(kernels->command,
              "sudo apt purge linux-image-6.1.0-9-amd64 linux-image-6.1.0-10-amd64-unsigned");
    EXPECT_EQ(kernels->bytes, (400000 + 390000) * std::int64_t(1024));

    const SystemReclaim* journal = item(all, "journal");
    ASSERT_TRUE(journal);
    EXPECT_EQ(journal->command, "sudo journalctl --vacuum-size=100M");
    EXPECT_GT(journal->bytes, 5'000'000);

    // Without knowing which kernel runs, none is named.
    sources.runningKernel.clear();
    EXPECT_FALSE(item(gather(), "old-kernels"));
}

TEST_F(SystemReclaimTest, ContainerToolsSayWhatTheyCanPruneWithinTheirTime) {
    put(root / "usr/bin/docker", "");
    runner.answers[root / "usr/bin/docker"] = {
        "Images\t1.5GB (60%)\nContainers\t0B (0%)\nLocal Volumes\t12.5MB\nBuild Cache\t800kB\n", 0};
    auto all = gather();
    const SystemReclaim* docker = item(all, "docker");
    ASSERT_TRUE(docker);
    EXPECT_EQ(docker->bytes, 1'500'000'000 + 12'500'000 + 800'000);
    EXPECT_EQ(docker->command, "docker system prune");
    EXPECT_EQ(
        runner.arguments[root / "usr/bin/docker"],
        (std::vector<std::string>{"system", "df", "--format", "{{.Type}}\t{{.Reclaimable}}"}));
    EXPECT_FALSE(item(all, "podman")); // not installed: not run

    runner.hang = true;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(item(gather(std::chrono::milliseconds(200)), "docker"));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));

    runner.hang = false;
    runner.answers[root / "usr/bin/docker"] = {"Cannot connect to the Docker daemon\n", 1};
    EXPECT_FALSE(item(gather(), "docker"));
}

TEST(SystemReclaims, ReadsToolSizesAndOrdersKernelVersions) {
    const struct {
        const char* text;
        std::optional<std::int64_t> bytes;
    } sizes[] = {{"0B", 0},
                 {"512B (100%)", 512},
                 {"1.5kB", 1500},
                 {"2.25GB (50%)", 2'250'000'000},
                 {"3MiB", 3 * 1048576},
                 {"12.5 MB", 12'500'000},
                 {"", std::nullopt},
                 {"lots", std::nullopt},
                 {"5XB", std::nullopt}};
    for (const auto& s : sizes)
        EXPECT_EQ(SystemReclaims::toolBytes(s.text), s.bytes) << s.text;

    EXPECT_TRUE(SystemReclaims::olderVersion("6.1.0-9-amd64", "6.1.0-10-amd64"));
    EXPECT_FALSE(SystemReclaims::olderVersion("6.1.0-10-amd64", "6.1.0-9-amd64"));
    EXPECT_TRUE(SystemReclaims::olderVersion("5.10.0-28-amd64", "6.1.0-1-amd64"));
    EXPECT_FALSE(SystemReclaims::olderVersion("6.1.0-9-amd64", "6.1.0-9-amd64"));
}

} // namespace
} // namespace tb
