#include "review/receipt_log.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "base/path.h"
#include "platform/trash.h"
#include "review/staging_store.h"
#include "support/temp_dir.h"

namespace tb {
namespace {

using test::readFile;

class ReceiptLogTest : public ::testing::Test {
protected:
    std::string file(const std::string& name, std::string_view contents = "data") {
        test::writeFile(work / name, contents);
        return work / name;
    }
    // Stages and moves `path` in `store`, giving the receipt.
    static OperationReceipt move(StagingStore& store, const std::string& path) {
        store.stage(path, std::string(Path::lastComponent(path)), 1);
        store.trashAll();
        return store.receipts().front();
    }
    // A store as a fresh launch makes it.
    std::unique_ptr<StagingStore> launch() {
        auto store = std::make_unique<StagingStore>();
        store->setReceiptFile(log);
        return store;
    }

    test::TempHome home;
    test::TempDir work;
    std::string log = home.dataHome() + "/Tarnbeck/receipts";
};

TEST_F(ReceiptLogTest, PutBackWorksAfterARestartWhileTheItemIsInTheTrash) {
    const std::string odd = file("tab\there\nline%", "odd"), plain = file("plain.txt", "plain"),
                      gone = file("gone.txt", "gone");
    auto first = launch();
    for (const auto& p : {odd, plain, gone})
        move(*first, p);
    const std::vector<OperationReceipt> before = first->receipts();
    first.reset(); // the program quits
    ASSERT_EQ(before.size(), 3u);
    EXPECT_EQ(test::modeOf(log), 0600u);
    EXPECT_EQ(test::modeOf(Path::parent(log)), 0700u);
    // Emptied from the Trash by someone else meanwhile; its receipt means nothing now.
    ASSERT_EQ(::unlink(before[0].trashedURL->c_str()), 0);

    auto second = launch();
    ASSERT_EQ(second->receipts(), std::vector<OperationReceipt>(before.begin() + 1, before.end()));
    second->restore(second->receipts()[1]); // the odd name
    EXPECT_EQ(readFile(odd), "odd");
    ASSERT_EQ(second->receipts().size(), 1u);

    auto third = launch();
    ASSERT_EQ(third->receipts().size(), 1u);
    EXPECT_EQ(third->receipts()[0].originalURL, plain);
}

TEST_F(ReceiptLogTest, ANewItemUnderAnOldTrashNameIsNotMistakenForTheOld) {
    // The Trash is emptied, then another "report" goes there by other means.
    ASSERT_EQ(::unlink(move(*launch(), file("report")).trashedURL->c_str()), 0);
    ASSERT_EQ(::unlink((home.dataHome() + "/Trash/info/report.trashinfo").c_str()), 0);
    test::put(work / "other/report", "second");
    ASSERT_TRUE(platform::FreedesktopTrash().moveToTrash(work / "other/report").ok());
    EXPECT_TRUE(launch()->receipts().empty());
}

TEST_F(ReceiptLogTest, DamagedFilesGiveWhatCanBeReadAndNoCrash) {
    move(*launch(), file("kept"));
    const std::string good = readFile(log);
    const std::string goodLine = good.substr(good.find('\n') + 1);
    const std::pair<std::string, std::size_t> cases[] = {
        {"", 0},
        {"not a receipt file\n" + goodLine, 0},
        {std::string("\0\xff\x01", 3), 0},
        {"tarnbeck-receipts 1\nbroken\tline\n" + goodLine + "X\t\t\t\t\t\t\n", 1},
        {"tarnbeck-receipts 1\n" + goodLine.substr(0, goodLine.size() / 2), 0},
        {good, 1},
    };
    for (const auto& [text, receipts] : cases) {
        test::writeFile(log, text);
        EXPECT_EQ(ReceiptLog::load(log).size(), receipts) << text;
    }
    EXPECT_TRUE(ReceiptLog::load(work / "missing").empty());
}

// Each launch writes the whole file: without a lock and a merge, the others' receipts are lost.
TEST_F(ReceiptLogTest, InstancesTrashingAtOnceKeepEveryReceipt) {
    constexpr int kInstances = 3, kItems = 25;
    std::vector<pid_t> children;
    for (int i = 0; i < kInstances; ++i) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            auto store = launch();
            bool allMoved = true;
            for (int n = 0; n < kItems; ++n) {
                const std::string path = file("i" + std::to_string(i) + "-" + std::to_string(n));
                allMoved = allMoved && move(*store, path).succeeded;
            }
            ::_exit(allMoved ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const auto survived = launch()->receipts();
    EXPECT_EQ(survived.size(), std::size_t(kInstances * kItems));
    std::set<std::string> trashed;
    for (const auto& r : survived)
        if (r.trashedURL) trashed.insert(*r.trashedURL);
    EXPECT_EQ(trashed.size(), std::size_t(kInstances * kItems));
    EXPECT_EQ(test::modeOf(log + ".lock"), 0600u);
}

// Two windows at once: each sees the other's moves and put-backs when it next
// writes or reloads, even of an item trashed again under the same name.
TEST_F(ReceiptLogTest, InstancesSeeEachOthersMovesAndPutBacks) {
    const std::string x = file("x"), y = file("y"), z = file("z"), w = file("w");
    auto a = launch();
    auto b = launch();
    const OperationReceipt xFirst = move(*a, x);
    move(*a, y);
    b->reloadReceipts();
    ASSERT_EQ(b->receipts().size(), 2u);

    auto of = [](const StagingStore& store, const std::string& path) {
        auto& r = store.receipts();
        return *std::find_if(r.begin(), r.end(), [&](auto& i) { return i.originalURL == path; });
    };
    b->restore(of(*b, x));
    ASSERT_EQ(readFile(x), "data");
    const OperationReceipt xAgain = move(*b, x);
    ASSERT_EQ(xAgain.trashedURL, xFirst.trashedURL); // the name was free again

    move(*a, z); // a still holds x's first receipt in memory
    const auto names = [](const std::vector<OperationReceipt>& receipts) {
        std::vector<std::string> out;
        for (const auto& r : receipts)
            out.push_back(r.id.toString());
        std::sort(out.begin(), out.end());
        return out;
    };
    const auto onDisk = ReceiptLog::load(log);
    EXPECT_EQ(onDisk.size(), 3u);
    EXPECT_TRUE(std::none_of(onDisk.begin(), onDisk.end(),
                             [&](const OperationReceipt& r) { return r.id == xFirst.id; }));
    EXPECT_EQ(names(a->receipts()), names(onDisk));
    EXPECT_EQ(a->receipts().back().originalURL, y); // oldest last

    move(*b, w);
    b->restore(of(*b, y));
    a->reloadReceipts();
    EXPECT_EQ(names(a->receipts()), names(ReceiptLog::load(log)));
    EXPECT_EQ(a->receipts().size(), 3u);
    EXPECT_EQ(a->receipts().front().originalURL, w);
}

// A link planted as the lock or the file is refused, its target untouched;
// the receipts stay in this launch until a later write can carry them.
TEST_F(ReceiptLogTest, WritesNeverFollowAPlantedLinkNorReadAnOversizedFile) {
    const std::string target = file("target", "precious");
    const std::pair<const char*, std::string> cases[] = {{"lock", log + ".lock"}, {"file", log}};
    for (const auto& [what, planted] : cases) {
        test::makeDirs(Path::parent(log));
        ASSERT_EQ(::symlink(target.c_str(), planted.c_str()), 0) << what;
        auto store = launch();
        move(*store, file(std::string("first-") + what));
        ASSERT_EQ(store->receipts().size(), 1u) << what;
        EXPECT_TRUE(store->receipts()[0].succeeded) << what;
        EXPECT_EQ(readFile(target), "precious") << what;
        EXPECT_TRUE(ReceiptLog::load(log).empty()) << what;

        ASSERT_EQ(::unlink(planted.c_str()), 0) << what;
        move(*store, file(std::string("second-") + what));
        EXPECT_EQ(ReceiptLog::load(log).size(), 2u) << what;
        ASSERT_EQ(::unlink(log.c_str()), 0) << what;
        ::unlink((log + ".lock").c_str());
    }

    test::writeFile(log, "tarnbeck-receipts 1\n");
    ASSERT_EQ(::truncate(log.c_str(), 65 << 20), 0);
    EXPECT_TRUE(ReceiptLog::load(log).empty());
    bool changed = false;
    const Status status = ReceiptLog::update(log, [&](std::vector<OperationReceipt> onDisk) {
        changed = true;
        return onDisk;
    });
    EXPECT_FALSE(status.ok());
    EXPECT_FALSE(changed);
    EXPECT_EQ(std::filesystem::file_size(log), std::uintmax_t(65) << 20);
}

} // namespace
} // namespace tb
