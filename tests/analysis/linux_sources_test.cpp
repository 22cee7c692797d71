// The Linux figures and listings behind the volume bar, the snapshot list
// and the app list: reserved blocks and the Trash carved out of the used
// space, snapshot tools read through a fake.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <chrono>
#include <map>

#include "analysis/snapshot_service.h"
#include "support/temp_dir.h"
#include "support/tree_builder.h"
#include "support/platform_fakes.h"
#include "scan/volume_accounting.h"

namespace tb {
namespace {

struct LinuxTruthCase {
    const char* what;
    std::int64_t available, reserved, trash;
    std::int64_t scannedIn;
    bool trashInScan;
    std::int64_t scanned, system, reservedSlice, purgeable, free;
};

TEST(VolumeAccounting, ReservedBlocksAndTheTrashAreSlicesOfTheirOwn) {
    // Capacity 1000 throughout.
    const LinuxTruthCase cases[] = {
        {"reserve leaves outside-scan", 300, 50, 0, 200, false, 200, 450, 50, 0, 300},
        {"trash inside the scan counts once", 300, 50, 100, 400, true, 300, 250, 50, 100, 300},
        {"trash elsewhere on the volume", 300, 50, 100, 400, false, 400, 150, 50, 100, 300},
        {"reserve larger than used", 900, 500, 0, 0, false, 0, 0, 100, 0, 900},
        {"trash larger than what is left", 300, 600, 500, 0, false, 0, 0, 600, 100, 300},
        {"scan beyond used space", 300, 50, 0, 5000, false, 650, 0, 50, 0, 300},
    };
    for (const auto& c : cases) {
        VolumeSnapshot v{
            "/home/u",   "/home",    1000,    c.available, c.available,
            c.available, c.reserved, "/home", c.trash,     {"/home/u/.local/share/Trash"}};
        const auto root = c.trashInScan ? std::string("/home/u") : std::string("/home/u/src");
        const TruthModel m = VolumeAccounting::truth(v, c.scannedIn, 0, root);
        std::map<TruthSliceID, std::int64_t> bytes;
        std::int64_t sum = 0;
        for (const auto& s : m.slices) {
            bytes[s.id] = s.bytes;
            sum += s.bytes;
        }
        EXPECT_EQ(sum, 1000) << c.what;
        EXPECT_EQ(bytes[TruthSliceID::scanned], c.scanned) << c.what;
        EXPECT_EQ(bytes[TruthSliceID::system], c.system) << c.what;
        EXPECT_EQ(bytes[TruthSliceID::reserved], c.reservedSlice) << c.what;
        EXPECT_EQ(bytes[TruthSliceID::purgeable], c.purgeable) << c.what;
        EXPECT_EQ(bytes[TruthSliceID::free], c.free) << c.what;
        EXPECT_EQ(m.slices[3].label, "Trash") << c.what; // after scanned, system, reserved
    }
    // Figures from a volume without a mount point keep the four plain slices.
    const VolumeSnapshot plain{"/", "Disk", 1000, 300, 300, 300};
    EXPECT_EQ(VolumeAccounting::truth(plain, 10, 0, std::nullopt).slices.size(), 4u);
}

// The Trash of a deleted project holds tens of thousands of entries; all of
// them count. The interface thread asks only for the last measure.
TEST(VolumeAccounting, MeasuresTheWholeTrashAndOtherwiseGivesItsLastMeasure) {
    test::TempHome home;
    const std::string trash = home.dataHome() + "/Trash";
    for (int i = 0; i < 20'000; ++i)
        test::makeDirs(trash + "/files/d" + std::to_string(i));
    // Listed after all 20,000 folders beside it.
    test::putSized(trash + "/files/project/big.bin", 300'000);
    test::makeDirs(trash + "/info");

    const auto before =
        VolumeAccounting::read(home.home(), VolumeAccounting::TrashMeasure::lastKnown);
    ASSERT_TRUE(before.ok()) << before.error().message;
    EXPECT_TRUE(before->trashPending);
    EXPECT_EQ(before->trashBytes, 0); // never measured

    const auto now = VolumeAccounting::read(home.home());
    ASSERT_TRUE(now.ok());
    EXPECT_GE(now->trashBytes, 300'000);
    EXPECT_FALSE(now->trashPending);
    EXPECT_FALSE(now->mountPoint.empty());
    EXPECT_GT(now->capacity, 0);
    EXPECT_GE(now->reserved, 0);
    EXPECT_EQ(now->trashFolders, std::vector<std::string>{trash});
    EXPECT_FALSE(VolumeAccounting::read(home.home() + "/no/such/place").ok());

    // Something more goes in: the last measure stands, marked, until measured.
    test::putSized(trash + "/files/more.bin", 500'000);
    const auto stale =
        VolumeAccounting::read(home.home(), VolumeAccounting::TrashMeasure::lastKnown);
    ASSERT_TRUE(stale.ok());
    EXPECT_TRUE(stale->trashPending);
    EXPECT_EQ(stale->trashBytes, now->trashBytes);
    std::stop_source stopped;
    stopped.request_stop();
    VolumeAccounting::measureTrash(stale->trashFolders, stopped.get_token()); // keeps nothing
    EXPECT_TRUE(VolumeAccounting::read(home.home(), VolumeAccounting::TrashMeasure::lastKnown)
                    ->trashPending);
    VolumeAccounting::measureTrash(stale->trashFolders);
    const auto measured =
        VolumeAccounting::read(home.home(), VolumeAccounting::TrashMeasure::lastKnown);
    ASSERT_TRUE(measured.ok());
    EXPECT_FALSE(measured->trashPending);
    EXPECT_GE(measured->trashBytes, now->trashBytes + 500'000);
    // Read without asking for the last measure, the Trash is measured again.
    test::putSized(trash + "/files/last.bin", 200'000);
    EXPECT_GE(VolumeAccounting::read(home.home())->trashBytes, measured->trashBytes + 200'000);
}

std::vector<std::string> names(const std::vector<SnapshotInfo>& list) {
    std::vector<std::string> out;
    for (const auto& s : list)
        out.push_back(s.name);
    return out;
}

TEST(SnapshotService, SnapperAndTimeshiftFoldersComeFirstThenTheTools) {
    test::TempDir volume;
    test::put(volume / ".snapshots/1/info.xml",
              "<?xml version=\"1.0\"?>\n<snapshot>\n  <type>single</type>\n  <num>1</num>\n"
              "  <date>2024-03-01 10:00:00</date>\n  <description>first root filesystem"
              "</description>\n</snapshot>\n");
    test::put(volume / ".snapshots/2/info.xml", "<snapshot><num>x</num></snapshot>"); // broken
    test::makeDirs(volume / "timeshift-btrfs/snapshots/2024-03-02_11-30-00");
    test::FakeRunner tools;
    tools.answers["/usr/sbin/zfs"] = {"tank/home@daily\t123456\t1700000000\nnot a snapshot\n", 0};
    // The temporary folder's volume stands for vg0/root; vg1/home is another
    // volume, and its snapshot is not this one's.
    struct stat st {};
    ASSERT_EQ(::stat(volume.path().c_str(), &st), 0);
    const std::string device =
        std::to_string(major(st.st_dev)) + "|" + std::to_string(minor(st.st_dev));
    tools.answers["/usr/sbin/lvs"] = {
        "  root|vg0||50000000|2024-01-01 00:00:00 +0000|" + device + "\n" +
            "  snap1|vg0|root|8000000|2024-02-01 12:00:00 +0000|-1|-1\n"
            "  home|vg1||1|2024-01-01 00:00:00 +0000|4095|4095\n"
            "  snap2|vg1|home|1|2024-02-01 12:00:00 +0000|-1|-1\n",
        0};
    tools.answers["/usr/bin/btrfs"] = {"ID 300 gen 9 top level 5 otime x path should-not-run\n", 0};
    const auto list = SnapshotService::listVolume(volume.path(), tools);
    EXPECT_EQ(names(list), (std::vector<std::string>{"Snapper #1 first root filesystem",
                                                     "Timeshift 2024-03-02_11-30-00",
                                                     "tank/home@daily", "vg0/snap1 of root"}));
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].date, "2024-03-01 10:00:00");
    EXPECT_EQ(list[1].date, "2024-03-02 11:30:00");
    EXPECT_EQ(list[2].bytes, 123456);
    EXPECT_EQ(list[2].date, "2023-11-14 22:13:20");
    EXPECT_EQ(list[3].bytes, 8000000);
    EXPECT_FALSE(list[0].bytes);
    EXPECT_EQ(list[0].id, list[0].raw);
    // The btrfs listing is asked only when the folders show nothing.
    EXPECT_EQ(std::count(tools.started.begin(), tools.started.end(), "/usr/bin/btrfs"), 0);
    // ZFS is asked for the scanned volume's dataset only.
    EXPECT_EQ(tools.arguments["/usr/sbin/zfs"].back(), volume.path());
}

TEST(SnapshotService, BtrfsListingWhenNoFolderSaysAnythingAndRefusalsAreQuiet) {
    test::TempDir volume;
    test::FakeRunner tools;
    tools.answers["/usr/bin/btrfs"] = {
        "ID 257 gen 10 cgen 10 top level 5 otime 2024-01-02 03:04:05 path snaps/one\n", 0};
    tools.answers["/usr/sbin/zfs"] = {"", 1}; // "no datasets available"
    const auto list = SnapshotService::listVolume(volume.path(), tools);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].name, "snaps/one");
    EXPECT_EQ(list[0].date, "2024-01-02 03:04:05");
    EXPECT_TRUE(SnapshotService::listVolume(volume.path(), test::FakeRunner()).empty());
}

TEST(SnapshotService, AHungToolIsStoppedAfterItsTimeLimit) {
    test::TempDir volume;
    test::FakeRunner tools;
    tools.hang = true;
    tools.answers["/usr/sbin/zfs"] = {"tank@x\t1\t1\n", 0};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(SnapshotService::listVolume(volume.path(), tools).empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

} // namespace
} // namespace tb
