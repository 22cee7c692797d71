#include "interchange/ncdu_json.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <map>
#include <tuple>

#include "interchange/scan_files.h"
#include "scan/directory_walker.h"
#include "store/scan_store.h"
#include "support/temp_dir.h"

namespace tb {
namespace {

using Row = std::tuple<bool, std::int64_t, std::int64_t, std::uint64_t, std::int64_t>;

// Every node by path: folder flag, sizes, inode, whole seconds of mtime.
std::map<std::string, Row> rows(const ScanNode& root) {
    std::map<std::string, Row> out;
    std::vector<const ScanNode*> stack{&root};
    while (!stack.empty()) {
        const ScanNode* n = stack.back();
        stack.pop_back();
        out[std::string(n->path())] = {n->isDirectory(), n->logicalSize(), n->allocatedSize(),
                                       n->inode(), n->modified().seconds};
        for (const ScanNode* c : n->children())
            stack.push_back(c);
    }
    return out;
}

std::string exportText(const ScanNode& root) {
    std::string text;
    NcduJson::WriteOptions options{"test", Date::fromUnix(1'700'000'000, 0)};
    EXPECT_TRUE(NcduJson::write(
        root,
        [&](std::string_view s) {
            text += s;
            return true;
        },
        options));
    return text;
}

class NcduJsonTest : public ::testing::Test {
protected:
    test::TempHome home;
    test::TempDir dir;
};

TEST_F(NcduJsonTest, RoundTripKeepsOddNamesSizesAndHardLinks) {
    const std::string root = dir / "tree";
    test::makeDirs(root + "/sub/deeper");
    test::writeSizedFile(root + "/plain", 10'000);
    for (const char* odd : {"bad\xff\xfe", "new\nline", "q\"uote", "back\\slash", "tab\there",
                            "ctl\x01\x7f", "caf\xc3\xa9"})
        test::writeFile(root + "/sub/" + odd, odd);
    ASSERT_EQ(::link((root + "/plain").c_str(), (root + "/sub/deeper/link").c_str()), 0);

    const ScanForest scanned = DirectoryWalker::walk(root, [](const WalkProgress&) {});
    const std::string text = exportText(*scanned.root());
    EXPECT_NE(text.find("\"hlnkc\":true,\"nlink\":2"), std::string::npos);
    EXPECT_NE(text.find("\"name\":\"new\\nline\""), std::string::npos);
    EXPECT_NE(text.find("\"name\":\"ctl\\u0001\\u007f\""), std::string::npos);

    auto imported = NcduJson::read(text);
    ASSERT_TRUE(imported) << imported.error().message;
    EXPECT_EQ(rows(*imported->tree.root), rows(*scanned.root()));
    EXPECT_EQ(imported->entries, std::int64_t(scanned.nodes().size()));
    EXPECT_EQ(imported->folderBlocks, 0);
    // Written again, the import reads the same as the first export.
    EXPECT_EQ(exportText(*imported->tree.root), text);
}

TEST_F(NcduJsonTest, FolderOwnBlocksCountInTotalsAndMissingFieldsAreNeutral) {
    const std::string text =
        "[1,2,{\"progname\":\"ncdu\",\"timestamp\":1700000000,\"x\":[{\"y\":[1,2]}]},\n"
        "[{\"name\":\"/data\",\"asize\":4096,\"dsize\":4096,\"dev\":65024},\n"
        "{\"name\":\"a\",\"asize\":3,\"dsize\":4096,\"ino\":18446744073709551615,\"mtime\":1.5e9},"
        "\n"
        "{\"name\":\"fifo\",\"notreg\":true},\n"
        "[{\"name\":\"locked\",\"asize\":4096,\"dsize\":4096,\"read_error\":true}],\n"
        "{\"name\":\"\\u00e9\\ud83d\\ude00/\\u00e9\",\"excluded\":\"pattern\"}]]";
    auto r = NcduJson::read(text);
    ASSERT_FALSE(r) << "a name with a slash is not a file name";
    EXPECT_NE(r.error().message.find("line 6"), std::string::npos) << r.error().message;

    const std::string fixed =
        text.substr(0, text.find("/\\u00e9")) + "\",\"excluded\":\"pattern\"}]]";
    auto ok = NcduJson::read(fixed);
    ASSERT_TRUE(ok) << ok.error().message;
    const ScanNode& root = *ok->tree.root;
    EXPECT_EQ(root.path(), "/data");
    EXPECT_EQ(root.allocatedSize(), 4096 + 4096 + 4096);
    EXPECT_EQ(root.logicalSize(), 4096 + 3 + 4096);
    EXPECT_EQ(ok->folderBlocks, 8192);
    EXPECT_EQ(ok->unreadable, 1);
    EXPECT_EQ(ok->entries, 5);
    EXPECT_EQ(ok->timestamp.seconds, 1'700'000'000);
    const auto all = rows(root);
    EXPECT_EQ(all.at("/data/a"), Row(false, 3, 4096, UINT64_MAX, 1'500'000'000));
    EXPECT_EQ(all.at("/data/fifo"), Row(false, 0, 0, 0, Date::kDistantPastSeconds));
    EXPECT_TRUE(all.count("/data/\xc3\xa9\xf0\x9f\x98\x80"));
}

TEST_F(NcduJsonTest, MalformedExportsNameWhereReadingStopped) {
    const std::string head = "[1,2,{},\n[{\"name\":\"/r\"},\n";
    const struct {
        std::string text;
        std::string where;
        std::string what;
    } cases[] = {
        {head + "{\"name\":\"a\",\"asize\":3", "line 3, column 22 (byte 46)", "end of the export"},
        {head + "{\"name\":\"a\"} {\"name\":\"b\"}]]", "line 3, column 14", "expected ','"},
        {"[2,0,{},[{\"name\":\"/r\"}]]", "line 1, column 3", "format version 2"},
        {head + "{\"name\":\"a\"},{\"name\":\"a\"}]]", "line 3, column 26", "two entries named"},
        {head + "{\"name\":\"..\"}]]", "line 3", "not a file name"},
        {head + "{\"asize\":1}]]", "line 3", "without a name"},
        {head + "{\"name\":\"\\ud800x\"}]]", "line 3", "unpaired surrogate"},
        {head + "{\"name\":\"\\q\"}]]", "line 3", "unknown escape"},
        {head + "{\"name\":\"a\",\"asize\":99999999999999999999}]]", "line 3", "out of range"},
        {head + "{\"name\":\"a\"}]] trailing", "line 3, column 16", "after the export"},
        {"", "line 1, column 1 (byte 0)", "end of the export"},
    };
    for (const auto& c : cases) {
        auto r = NcduJson::read(c.text);
        ASSERT_FALSE(r) << c.text;
        EXPECT_EQ(r.error().domain, "Interchange");
        EXPECT_NE(r.error().message.find(c.where), std::string::npos) << r.error().message;
        EXPECT_NE(r.error().message.find(c.what), std::string::npos) << r.error().message;
    }
}

TEST_F(NcduJsonTest, ImportStoresAGzipExportAndNothingWhenItIsBroken) {
    const std::string store = home.dataHome() + "/Tarnbeck/scans";
    test::makeDirs(store);
    const std::string good =
        "[1,2,{\"timestamp\":1600000000},[{\"name\":\"/r//\",\"dsize\":4096},"
        "{\"name\":\"f\",\"asize\":5,\"dsize\":8192}]]";
    const std::string gz = dir / "good.json.gz";
    gzFile out = gzopen(gz.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(gzwrite(out, good.data(), unsigned(good.size())), int(good.size()));
    ASSERT_EQ(gzclose(out), Z_OK);

    auto summary = ScanFiles::importExport(gz, store);
    ASSERT_TRUE(summary) << summary.error().message;
    EXPECT_EQ(summary->entries, 2);
    EXPECT_EQ(summary->folderBlocks, 4096);
    const auto history = ScanStore::historyIn(store);
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].rootPath, "/r");
    EXPECT_EQ(history[0].scannedBytes, 4096 + 8192);
    EXPECT_EQ(history[0].finished.seconds, 1'600'000'000);
    const auto tree = ScanStore::load(history[0]); // the root as typed, its slashes trimmed
    ASSERT_TRUE(tree);
    EXPECT_EQ(tree->root->path(), "/r");
    EXPECT_EQ(tree->root->children().size(), 1u);

    const std::string broken = dir / "broken.json";
    test::writeFile(broken, good.substr(0, good.size() - 3));
    auto failed = ScanFiles::importExport(broken, store);
    ASSERT_FALSE(failed);
    EXPECT_NE(failed.error().message.find(broken + ": line 1"), std::string::npos);
    EXPECT_FALSE(ScanFiles::importExport(dir / "missing.json", store));

    EXPECT_EQ(test::namesIn(store),
              std::vector<std::string>{history[0].fileURL.substr(store.size() + 1)});

    // Exported again, the folder's own blocks come back as its own size.
    std::string text;
    ASSERT_TRUE(ScanFiles::exportScan(
        history[0].fileURL,
        [&](std::string_view s) {
            text += s;
            return true;
        },
        "t"));
    EXPECT_NE(text.find("{\"name\":\"/r\",\"asize\":0,\"dsize\":4096}"), std::string::npos) << text;
}

TEST_F(NcduJsonTest, SavingToAFileLeavesNoStagingFolder) {
    test::put(dir / "tree/f", "x");
    const ScanForest forest = DirectoryWalker::walk(dir / "tree", [](const WalkProgress&) {});
    auto saved =
        ScanFiles::saveAtomically(forest, dir / "tree", dir / "unused", dir / "out.sqlite");
    ASSERT_TRUE(saved) << saved.error().message;
    EXPECT_EQ(saved->fileURL, dir / "out.sqlite");
    EXPECT_TRUE(ScanStore::load(*ScanStore::record(saved->fileURL)));
    EXPECT_EQ(test::namesIn(dir.path()), (std::vector<std::string>{"out.sqlite", "tree"}));
    EXPECT_FALSE(
        ScanFiles::saveAtomically(forest, dir / "tree", dir / "unused", dir / "no/such/x"));
}

} // namespace
} // namespace tb
