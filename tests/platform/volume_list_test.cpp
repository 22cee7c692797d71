#include <gtest/gtest.h>

#include <chrono>

#include "platform/volume_list.h"

namespace tb::platform {
namespace {

// A desktop's table: what the kernel, systemd, snap and a container engine mount.
constexpr std::string_view kDesktop =
    "22 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
    "23 22 0:21 / /proc rw,nosuid shared:12 - proc proc rw\n"
    "24 22 0:22 / /sys rw,nosuid shared:2 - sysfs sysfs rw\n"
    "25 24 0:23 / /sys/fs/cgroup rw shared:4 - cgroup2 cgroup2 rw\n"
    "26 22 0:5 / /dev rw,nosuid shared:8 - devtmpfs udev rw\n"
    "27 26 0:24 / /dev/pts rw shared:9 - devpts devpts rw\n"
    "28 22 0:25 / /run rw,nosuid shared:5 - tmpfs tmpfs rw\n"
    "29 28 0:26 / /run/user/1000 rw shared:300 - tmpfs tmpfs rw\n"
    "30 29 0:48 / /run/user/1000/gvfs rw shared:310 - fuse.gvfsd-fuse gvfsd-fuse rw\n"
    "31 22 0:27 / /tmp rw shared:6 - tmpfs tmpfs rw\n"
    "32 22 8:3 / /home rw,relatime shared:30 - ext4 /dev/sda3 rw\n"
    "33 22 8:1 / /boot/efi rw shared:31 - vfat /dev/sda1 rw\n"
    "34 22 7:0 / /snap/core22/864 ro,nodev shared:40 - squashfs /dev/loop0 ro\n"
    "35 22 0:50 / /var/lib/docker/overlay2/abc/merged rw - overlay overlay rw\n"
    "36 22 8:17 / /run/media/ann/My\\040Stick rw,nosuid shared:50 - exfat /dev/sdb1 rw\n"
    "37 22 0:51 / /mnt/nas rw,relatime shared:60 - nfs4 nas:/export rw\n"
    "38 32 8:3 /ann/shared /srv/shared rw shared:30 - ext4 /dev/sda3 rw\n"
    "39 22 0:52 / /home/ann/remote rw shared:70 - fuse.sshfs ann@host:/ rw\n"
    "40 22 8:2 /etc/hosts /etc/hosts rw - ext4 /dev/sda2 rw\n"
    "41 22 0:53 / /proc/sys/fs/binfmt_misc rw - binfmt_misc binfmt_misc rw\n"
    "42 22 11:0 / /media/cdrom ro - iso9660 /dev/sr0 ro\n";

std::vector<std::string> pointsOf(const std::vector<MountedVolume>& volumes) {
    std::vector<std::string> out;
    for (const auto& v : volumes)
        out.push_back(v.point);
    return out;
}

TEST(VolumeList, AUserSeesTheVolumesAFileManagerShowsEachWithItsFields) {
    const auto all = parseMountInfo(kDesktop);
    ASSERT_EQ(all.size(), 21u);
    EXPECT_EQ(
        pointsOf(userVolumes(all)),
        (std::vector<std::string>{"/", "/tmp", "/home", "/boot/efi", "/run/media/ann/My Stick",
                                  "/mnt/nas", "/home/ann/remote", "/media/cdrom"}));
    EXPECT_EQ(all[14], (MountedVolume{.point = "/run/media/ann/My Stick",
                                      .type = "exfat",
                                      .source = "/dev/sdb1",
                                      .device = "8:17",
                                      .root = "/",
                                      .readOnly = false}));
    EXPECT_TRUE(all[12].readOnly); // the snap image
    EXPECT_EQ(all[16].root, "/ann/shared");
}

TEST(VolumeList, MalformedAndOddLinesAreSkippedOrRead) {
    const std::tuple<const char*, std::string_view, std::vector<std::string>> cases[] = {
        {"empty", "", {}},
        {"too few fields", "22 1 8:2 / / rw - ext4\n", {}},
        {"no separator", "22 1 8:2 / / rw shared:1 ext4 /dev/sda2 rw x y\n", {}},
        {"relative point", "22 1 8:2 / here rw - ext4 /dev/sda2 rw\n", {}},
        {"several optional fields",
         "22 1 8:2 / /a rw shared:1 master:2 - ext4 /dev/sda2 rw\n",
         {"/a"}},
        {"no trailing newline", "22 1 8:2 / /b rw - ext4 /dev/sda2 rw", {"/b"}},
        {"escapes: tab, backslash, bad octal",
         "1 1 8:2 / /x\\011y\\134z\\9 rw - ext4 d rw\n",
         {"/x\ty\\z\\9"}},
        {"double spaces", "22  1 8:2 / /c rw  -  ext4 /dev/sda2 rw\n", {"/c"}},
    };
    for (const auto& [name, text, points] : cases)
        EXPECT_EQ(pointsOf(parseMountInfo(text)), points) << name;
    std::string many;
    for (int i = 0; i < 50; ++i)
        many += "22 1 8:2 / /m rw - ext4 /dev/sda2 rw\n";
    EXPECT_EQ(parseMountInfo(many, 10).size(), 10u);
}

TEST(VolumeList, ADeviceShowsOnceAndAMountOnTopHidesTheOneBelow) {
    const auto volumes = userVolumes(parseMountInfo(
        // Bound first, its own root later: the root wins.
        "1 0 8:5 /data/sub /srv/sub rw - ext4 /dev/sdc1 rw\n"
        "2 0 8:5 / /data rw - ext4 /dev/sdc1 rw\n"
        // Two points for one device's root: the shorter.
        "3 0 8:6 / /mnt/backup/long rw - xfs /dev/sdd1 rw\n"
        "4 0 8:6 / /bk rw - xfs /dev/sdd1 rw\n"
        // Mounted over: only the top one.
        "5 0 8:7 / /media/usb rw - vfat /dev/sde1 rw\n"
        "6 0 8:8 / /media/usb rw - ext4 /dev/sdf1 rw\n"
        // Two shares of one server are two volumes.
        "7 0 0:60 / /net/a rw - nfs4 srv:/a rw\n"
        "8 0 0:61 / /net/b rw - nfs4 srv:/b rw\n"));
    EXPECT_EQ(pointsOf(volumes),
              (std::vector<std::string>{"/data", "/bk", "/media/usb", "/net/a", "/net/b"}));
    EXPECT_EQ(volumes[2].type, "ext4");
}

TEST(VolumeList, ThisMachinesTableAndFiguresRead) {
    const auto volumes = mountedVolumes();
    ASSERT_FALSE(volumes.empty());
    for (const auto& v : volumes)
        EXPECT_FALSE(v.type == "proc" || v.type == "sysfs" || v.point.starts_with("/proc"));
    auto space = readSpace("/", "ext4");
    ASSERT_TRUE(space);
    EXPECT_GT(space->capacity, 0);
    EXPECT_LE(space->used + space->available, space->capacity + space->capacity / 10 + 1);
    // A missing point of a network type answers at once with the reason.
    EXPECT_FALSE(readSpace("/nonexistent/mount", "nfs4", std::chrono::seconds(5)));
}

} // namespace
} // namespace tb::platform
