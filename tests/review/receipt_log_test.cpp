#include "review/receipt_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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
    std::string file(const std::string& name, std::string_view contents) {
        test::writeFile(work / name, contents);
        return work / name;
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
    const std::string odd = file("tab\there\nline%", "odd");
    const std::string plain = file("plain.txt", "plain");
    const std::string gone = file("gone.txt", "gone");
    std::vector<OperationReceipt> before;
    {
        auto first = launch();
        for (const auto& p : {odd, plain, gone})
            first->stage(p, std::string(Path::lastComponent(p)), 5);
        first->trashAll();
        before = first->receipts();
    }
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
    const std::string a = file("report", "first");
    {
        auto first = launch();
        first->stage(a, "report", 1);
        first->trashAll();
        // The Trash is emptied, then another "report" goes there by other means.
        const std::string trashed = *first->receipts()[0].trashedURL;
        ASSERT_EQ(::unlink(trashed.c_str()), 0);
        ASSERT_EQ(::unlink((home.dataHome() + "/Trash/info/report.trashinfo").c_str()), 0);
    }
    test::put(work / "other/report", "second");
    ASSERT_TRUE(platform::FreedesktopTrash().moveToTrash(work / "other/report").ok());
    EXPECT_TRUE(launch()->receipts().empty());
}

TEST_F(ReceiptLogTest, DamagedFilesGiveWhatCanBeReadAndNoCrash) {
    const std::string kept = file("kept", "k");
    {
        auto first = launch();
        first->stage(kept, "kept", 1);
        first->trashAll();
    }
    const std::string good = readFile(log);
    const std::string goodLine = good.substr(good.find('\n') + 1);
    const struct {
        std::string text;
        std::size_t receipts;
    } cases[] = {
        {"", 0},
        {"not a receipt file\n" + goodLine, 0},
        {std::string("\0\xff\x01", 3), 0},
        {"tarnbeck-receipts 1\nbroken\tline\n" + goodLine + "X\t\t\t\t\t\t\n", 1},
        {"tarnbeck-receipts 1\n" + goodLine.substr(0, goodLine.size() / 2), 0},
        {good, 1},
    };
    for (const auto& c : cases) {
        test::writeFile(log, c.text);
        EXPECT_EQ(ReceiptLog::load(log).size(), c.receipts) << c.text;
    }
    EXPECT_TRUE(ReceiptLog::load(work / "missing").empty());
}

std::set<std::string> trashedPaths(const std::vector<OperationReceipt>& receipts) {
    std::set<std::string> out;
    for (const auto& r : receipts)
        if (r.trashedURL) out.insert(*r.trashedURL);
    return out;
}

// Each launch writes the whole file; without a lock and a merge the last
// writer wins and every receipt written meanwhile by the others is lost.
TEST_F(ReceiptLogTest, InstancesTrashingAtOnceKeepEveryReceipt) {
    constexpr int kInstances = 3, kItems = 25;
    for (int i = 0; i < kInstances; ++i) {
        for (int n = 0; n < kItems; ++n)
            file("i" + std::to_string(i) + "-" + std::to_string(n), "x");
    }
    std::vector<pid_t> children;
    for (int i = 0; i < kInstances; ++i) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            auto store = launch();
            bool allMoved = true;
            for (int n = 0; n < kItems; ++n) {
                const std::string path = work / ("i" + std::to_string(i) + "-" + std::to_string(n));
                store->stage(path, "item", 1);
                store->trashAll();
                allMoved = allMoved && store->receipts().front().succeeded;
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
    EXPECT_EQ(trashedPaths(survived).size(), std::size_t(kInstances * kItems));
    EXPECT_EQ(test::modeOf(log + ".lock"), 0600u);
}

// Two windows open at once: what one moves shows in the other when it next
// writes or reloads, and what one puts back leaves the other, even when the
// same item has gone to the Trash again under the same name since.
TEST_F(ReceiptLogTest, InstancesSeeEachOthersMovesAndPutBacks) {
    const std::string x = file("x", "data"), y = file("y", "data"), z = file("z", "data"),
                      w = file("w", "data");
    auto a = launch();
    auto b = launch();
    auto move = [](StagingStore& store, const std::string& path) {
        store.stage(path, std::string(Path::lastComponent(path)), 1);
        store.trashAll();
        return store.receipts().front();
    };
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

// The lock and the file stay where every instance looks: a link planted in
// their place is refused, its target untouched, and the receipts stay for
// this launch until a later write can carry them.
TEST_F(ReceiptLogTest, WritesNeverFollowAPlantedLinkNorReadAnOversizedFile) {
    const std::string target = file("target", "precious");
    const struct {
        const char* what;
        std::string planted;
    } cases[] = {{"lock", log + ".lock"}, {"file", log}};
    for (const auto& c : cases) {
        test::makeDirs(Path::parent(log));
        ASSERT_EQ(::symlink(target.c_str(), c.planted.c_str()), 0) << c.what;
        auto store = launch();
        store->stage(file(std::string("first-") + c.what, "x"), "item", 1);
        store->trashAll();
        ASSERT_EQ(store->receipts().size(), 1u) << c.what;
        EXPECT_TRUE(store->receipts()[0].succeeded) << c.what;
        EXPECT_EQ(readFile(target), "precious") << c.what;
        EXPECT_TRUE(ReceiptLog::load(log).empty()) << c.what;

        ASSERT_EQ(::unlink(c.planted.c_str()), 0) << c.what;
        store->stage(file(std::string("second-") + c.what, "x"), "item", 1);
        store->trashAll();
        EXPECT_EQ(ReceiptLog::load(log).size(), 2u) << c.what;
        ASSERT_EQ(::unlink(log.c_str()), 0) << c.what;
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
    struct stat st {};
    ASSERT_EQ(::stat(log.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 65 << 20);
}

} // namespace
} // namespace tb
