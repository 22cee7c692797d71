#include "review/receipt_log.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace tb
