#include "interchange/ncdu_json.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <stop_token>
#include <tuple>

#include "interchange/remote_scan.h"
#include "interchange/scan_files.h"
#include "scan/directory_walker.h"
#include "store/scan_store.h"
#include "support/second_user.h"
#include "support/temp_dir.h"

namespace tb {
namespace {

using RemoteScan::Agent;
using RemoteScan::agentCommand;
using RemoteScan::chooseAgent;
using Row = std::tuple<bool, std::int64_t, std::int64_t, std::uint64_t, std::int64_t>;

// Every node by path: folder flag, sizes, inode, whole seconds of mtime.
std::map<std::string, Row> rows(const ScanNode& root) {
    std::map<std::string, Row> out;
    for (const ScanNode* n : root.flattened())
        out[std::string(n->path())] = {n->isDirectory(), n->logicalSize(), n->allocatedSize(),
                                       n->inode(), n->modified().seconds};
    return out;
}

std::string exportText(const ScanNode& root) {
    std::string text;
    EXPECT_TRUE(NcduJson::write(root, [&](std::string_view s) { return text += s, true; },
                                {"test", Date::fromUnix(1'700'000'000, 0)}));
    return text;
}

// The export of a stored scan as text.
std::string exportedScan(const std::string& file) {
    std::string text;
    EXPECT_TRUE(ScanFiles::exportScan(
        file, [&](std::string_view s) { return text += s, true; }, "t"));
    return text;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// `chunk`, `times` over, compressed into `path`.
void writeGzip(const std::string& path, const std::string& chunk, int times = 1) {
    gzFile out = gzopen(path.c_str(), "wb1");
    ASSERT_NE(out, nullptr);
    for (int i = 0; i < times; ++i)
        ASSERT_EQ(gzwrite(out, chunk.data(), unsigned(chunk.size())), int(chunk.size()));
    ASSERT_EQ(gzclose(out), Z_OK);
}

class NcduJsonTest : public ::testing::Test {
protected:
    NcduJsonTest() { test::makeDirs(store); }

    test::TempHome home;
    test::TempDir dir;
    std::string store = home.dataHome() + "/Tarnbeck/scans";
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
    auto ok = NcduJson::read(R"([1,2,{"progname":"ncdu","timestamp":1700000000,"x":[{"y":[1,2]}]},
[{"name":"/data","asize":4096,"dsize":4096,"dev":65024},
{"name":"a","asize":3,"dsize":4096,"ino":18446744073709551615,"mtime":1.5e9},
{"name":"fifo","notreg":true},
[{"name":"locked","asize":4096,"dsize":4096,"read_error":true}],
{"name":"\u00e9\ud83d\ude00","excluded":"pattern"}]])");
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

// An export nested `levels` deep, one folder per level.
std::string nestedExport(int levels) {
    std::string text = "[1,2,{},\n[{\"name\":\"/r\"}";
    for (int i = 0; i < levels; ++i)
        text += ",\n[{\"name\":\"d\"}";
    text.append(std::size_t(levels) + 1, ']');
    return text + "]";
}

TEST_F(NcduJsonTest, MalformedExportsNameWhereReadingStopped) {
    const std::string head = "[1,2,{},\n[{\"name\":\"/r\"},\n";
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {head + "{\"name\":\"a\",\"asize\":3", "line 3, column 22 (byte 46)", "end of the export"},
        {head + "{\"name\":\"a\"} {\"name\":\"b\"}]]", "line 3, column 14", "expected ','"},
        {"[2,0,{},[{\"name\":\"/r\"}]]", "line 1, column 3", "format version 2"},
        {head + "{\"name\":\"a\"},{\"name\":\"a\"}]]", "line 3, column 26", "two entries named"},
        {head + "{\"name\":\"..\"}]]", "line 3", "not a file name"},
        {head + "{\"name\":\"a/b\"}]]", "line 3", "not a file name"},
        {head + "{\"asize\":1}]]", "line 3", "without a name"},
        {head + "{\"name\":\"\\ud800x\"}]]", "line 3", "unpaired surrogate"},
        {head + "{\"name\":\"\\q\"}]]", "line 3", "unknown escape"},
        {head + "{\"name\":\"a\",\"asize\":99999999999999999999}]]", "line 3", "out of range"},
        {head + "{\"name\":\"a\"}]] trailing", "line 3, column 16", "after the export"},
        {"", "line 1, column 1 (byte 0)", "end of the export"},
        {head + "{\"name\":\"a\tb\"}]]", "line 3, column 11", "control byte (9)"},
        {head + "{\"name\":\"" + std::string(4097, 'n') + "\"}]]", "line 3, column 10",
         "a name longer than 4096 bytes"},
        {head + "{\"name\":\"a\",\"x\":[\"" + std::string(1 << 20, 'x') + "\"]}]]", "line 3",
         "longer than"},
        {head + "{\"name\":\"a\",\"asize\":" + std::string(65, '1') + "}]]", "line 3, column 21",
         "longer than 64"},
        {head + std::string((1 << 20) + 1, ' ') + "]]", "line 3", "white space"},
        {"[1,2,{},[{\"name\":\"data/x\"}]]", "line 1", "not an absolute path"},
        {"[1,2,{},[{\"name\":\"/data/../etc\"}]]", "line 1", "goes up with \"..\""},
        // 150 KB that the store would keep as half a gigabyte of paths.
        {nestedExport(10'000), "line ", "nest too deeply"},
    };
    for (const auto& [text, where, what] : cases) {
        auto r = NcduJson::read(text);
        ASSERT_FALSE(r) << text;
        EXPECT_EQ(r.error().domain, "Interchange");
        EXPECT_NE(r.error().message.find(where), std::string::npos) << r.error().message;
        EXPECT_NE(r.error().message.find(what), std::string::npos) << r.error().message;
    }
    auto normal = NcduJson::read(nestedExport(1'000));
    ASSERT_TRUE(normal) << normal.error().message;
    EXPECT_EQ(normal->entries, 1'001);
}

TEST_F(NcduJsonTest, RootIsMadeCanonicalTotalsSaturateAndImplausibleTimestampsAreIgnored) {
    const std::string huge = std::to_string(9'000'000'000'000'000'000);
    const std::string sizes = "\"asize\":" + huge + ",\"dsize\":" + huge + "}";
    auto r = NcduJson::read("[1,2,{},[{\"name\":\"/a/./b//c/\",\"dsize\":" + huge +
                            "},[{\"name\":\"sub\",\"dsize\":" + huge + "},{\"name\":\"a\"," +
                            sizes + ",{\"name\":\"b\"," + sizes + "]]]");
    ASSERT_TRUE(r) << r.error().message;
    EXPECT_EQ(r->tree.root->path(), "/a/b/c");
    EXPECT_EQ(r->tree.root->allocatedSize(), INT64_MAX);
    EXPECT_EQ(r->tree.root->logicalSize(), INT64_MAX);
    EXPECT_EQ(r->folderBlocks, INT64_MAX);

    const std::int64_t now = Date::now().seconds;
    const std::pair<std::string, bool> stamps[] = {
        {std::to_string(INT64_MAX), false},
        {"-5", false},
        {std::to_string(now + 3 * 86'400), false},
        {std::to_string(now + 3'600), true},
        {"0", true},
        {"1600000000", true},
    };
    for (const auto& [value, kept] : stamps) {
        auto s = NcduJson::read("[1,2,{\"timestamp\":" + value + "},[{\"name\":\"/\"}]]");
        ASSERT_TRUE(s) << s.error().message;
        EXPECT_EQ(!s->timestamp.isDistantPast(), kept) << value;
    }
    const std::string future = dir / "future.json";
    test::writeFile(future,
                    "[1,2,{\"timestamp\":" + std::to_string(INT64_MAX) + "},[{\"name\":\"/f\"}]]");
    auto summary = ScanFiles::importExport(future, home.dataHome());
    ASSERT_TRUE(summary) << summary.error().message;
    EXPECT_LT(std::abs(summary->record.finished.secondsSince(Date::now())), 60.0);
}

// An error at every offset around the end of the first piece read: the streamed reading
// stops where the reading in memory does, in the same words.
TEST_F(NcduJsonTest, StreamedReadingAgreesWithReadingInMemoryAcrossPieces) {
    constexpr std::size_t kPiece = 128 << 10;
    std::string entries;
    for (int i = 0; entries.size() < kPiece - 4'000; ++i)
        entries +=
            ",\n{\"name\":\"f" + std::to_string(i) + "\",\"asize\":" + std::to_string(i) + "}";
    const std::string head = "[1,2,{},[{\"name\":\"/r\"}" + entries;
    const std::string file = dir / "e.json";
    const std::string tokens[] = {
        ",{\"name\":\"ok\\u00e9\\ud83d\\ude00\\n\",\"x\":[\"s\",{\"y\":null}],\"asize\":1}]]",
        ",{\"name\":\"a\",\"asize\":99999999999999999999}]]",
        ",{\"name\":\"b\\q\"}]]",
        ",{\"name\":\"c\\ud800\\u0041\"}]]",
        ",{\"name\":\"d\",\"read_error\":tru}]]",
        ",{\"name\":\"e\"}] ]x",
    };
    for (const std::string& token : tokens) {
        for (std::size_t at = kPiece - 12; at < kPiece + 4; ++at) {
            std::string text = head;
            while (text.size() + 40 < at)
                text += text.size() % 90 == 0 ? "\n" : " ";
            text.append(at - text.size(), ' ');
            text += token;
            test::writeFile(file, text);
            auto inMemory = NcduJson::read(text);
            auto streamed = NcduJson::readFile(file);
            ASSERT_EQ(bool(inMemory), bool(streamed)) << token << " at " << at;
            if (inMemory) {
                EXPECT_EQ(rows(*streamed->tree.root), rows(*inMemory->tree.root));
            } else {
                EXPECT_EQ(streamed.error().message, file + ": " + inMemory.error().message)
                    << token << " at " << at;
            }
        }
    }
}

// Runs `work` in a child allowed `extraBytes` more address space, stopped after 10 s.
std::string inBoundedChild(std::size_t extraBytes, const std::function<std::string()>& work) {
    const std::size_t pages = std::stoull(test::readFile("/proc/self/statm")); // the first field
    const rlim_t limit = pages * std::size_t(::sysconf(_SC_PAGESIZE)) + extraBytes;
    return test::inChild(
        [&] {
            const rlimit bound{limit, limit};
            ::setrlimit(RLIMIT_AS, &bound);
            return work();
        },
        10);
}

TEST_F(NcduJsonTest, EndlessBlockingAndBombInputsEndSoonWithAMessage) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the bound allows";
#endif
    // A quarter of a gigabyte of zeros in a quarter of a megabyte.
    const std::string bomb = dir / "bomb.json.gz";
    writeGzip(bomb, std::string(1 << 20, '\0'), 256);
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string good = dir / "good.json";
    test::writeFile(good, "[1,2,{},[{\"name\":\"/g\"}]]");
    const std::string link = dir / "link.json";
    ASSERT_EQ(::symlink(good.c_str(), link.c_str()), 0);

    // The file imported, what stands in for standard input, and the message.
    const std::tuple<std::string, const char*, std::string> cases[] = {
        {bomb, nullptr, bomb + ": line 1, column 1 (byte 0): expected '[', found byte 0"},
        {"-", "/dev/zero", "standard input: line 1, column 1 (byte 0): expected '['"},
        {fifo, nullptr, "cannot open " + fifo + ": not a regular file"},
        {"/dev/zero", nullptr, "cannot open /dev/zero: not a regular file"},
        {dir / "", nullptr, "a folder, not an export"},
        {link, nullptr, "<imported>"},
    };
    for (const auto& [file, input, expected] : cases) {
        const std::string message = inBoundedChild(128 << 20, [&] {
            if (input) {
                const int fd = ::open(input, O_RDONLY);
                ::dup2(fd, STDIN_FILENO);
            }
            auto r = ScanFiles::importExport(file, store);
            return r ? "<imported>" : r.error().message;
        });
        EXPECT_NE(message.find(expected), std::string::npos) << message;
    }
}

// A compressed export cut short is an error even when its text is whole.
TEST_F(NcduJsonTest, ImportStoresAGzipExportAndNothingWhenItIsBroken) {
    const std::string good =
        "[1,2,{\"timestamp\":1600000000},[{\"name\":\"/r//\",\"dsize\":4096},"
        "{\"name\":\"f\",\"asize\":5,\"dsize\":8192}]]";
    const std::string gz = dir / "good.json.gz";
    writeGzip(gz, good);
    const std::string whole = test::readFile(gz);
    // Without the trailer (checksum and length), then cut inside the data.
    for (const std::size_t cut : {std::size_t(8), std::size_t(4), whole.size() / 2}) {
        test::writeFile(gz, whole.substr(0, whole.size() - cut));
        auto r = ScanFiles::importExport(gz, store);
        ASSERT_FALSE(r) << cut;
        EXPECT_EQ(r.error().message, gz + ": the compressed export is truncated") << cut;
    }
    std::string damaged = whole;
    damaged[damaged.size() - 6] ^= 0x55; // inside the checksum
    test::writeFile(gz, damaged);
    auto r = ScanFiles::importExport(gz, store);
    ASSERT_FALSE(r);
    EXPECT_NE(r.error().message.find("damaged"), std::string::npos) << r.error().message;
    EXPECT_TRUE(test::namesIn(store).empty());

    test::writeFile(gz, whole);
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
    const std::string text = exportedScan(history[0].fileURL);
    EXPECT_NE(text.find("{\"name\":\"/r\",\"asize\":0,\"dsize\":4096}"), std::string::npos) << text;
}

// Three names of a file in two folders go out with its sizes on each, as readers expect, and
// come back counted as the scan counted them; an export from elsewhere counts it once.
TEST_F(NcduJsonTest, HardLinksLeaveAndComeBackCountedAsTheScanCountedThem) {
    const std::string root = dir / "tree";
    test::putSized(root + "/a/big", 50'000);
    test::putSized(root + "/b/small", 10);
    ASSERT_EQ(::link((root + "/a/big").c_str(), (root + "/a/big3").c_str()), 0);
    ASSERT_EQ(::link((root + "/a/big").c_str(), (root + "/b/big2").c_str()), 0);

    for (const HardLinkMode mode : {HardLinkMode::once, HardLinkMode::every}) {
        const std::string name(rawValue(mode));
        DirectoryWalker::Options options{.hardLinks = mode};
        const ScanForest scanned = DirectoryWalker::walk(
            root, [](const WalkProgress&) {}, {}, options);
        const std::string file = dir / (name + ".sqlite");
        ASSERT_TRUE(ScanFiles::saveAtomically(scanned, root, store, file));
        const std::string text = exportedScan(file);
        EXPECT_NE(text.find("\"hard_links\":\"" + name + "\""), std::string::npos) << text;
        EXPECT_EQ(occurrences(text, "\"hlnkc\":true,\"nlink\":3"), 3u) << name;
        // Every name carries the file's bytes, none is written empty.
        EXPECT_EQ(occurrences(text, "\"asize\":50000,"), 3u) << text;

        const std::string exported = dir / (name + ".json");
        test::writeFile(exported, text);
        auto summary = ScanFiles::importExport(exported, store);
        ASSERT_TRUE(summary) << summary.error().message;
        EXPECT_EQ(summary->record.scannedBytes, scanned.root()->allocatedSize()) << name;
        EXPECT_EQ(summary->record.context.hardLinks, mode);
    }

    // ncdu's own: no mode in the metadata, every name in full.
    const auto foreign = NcduJson::read(
        "[1,2,{},[{\"name\":\"/r\"},{\"name\":\"x\",\"dsize\":8192,\"ino\":7,\"hlnkc\":true,"
        "\"nlink\":2},[{\"name\":\"d\"},{\"name\":\"y\",\"dsize\":8192,\"ino\":7,"
        "\"hlnkc\":true,\"nlink\":2}]]]");
    ASSERT_TRUE(foreign) << foreign.error().message;
    EXPECT_EQ(foreign->hardLinks, HardLinkMode::once);
    ASSERT_EQ(foreign->links.size(), 2u);
    EXPECT_EQ(foreign->links[0].linkCount, 2u);
    ScanForest forest(foreign->tree, 0, foreign->entries, std::nullopt,
                      ScanForest::WalkedLinks{foreign->links, foreign->hardLinks});
    EXPECT_EQ(forest.root()->allocatedSize(), 8192);
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

    // A stop request ends the save, and the import, with nothing left.
    std::stop_source stop;
    stop.request_stop();
    EXPECT_FALSE(ScanFiles::saveAtomically(forest, dir / "tree", dir / "unused",
                                           dir / "stopped.sqlite", stop.get_token()));
    test::writeFile(dir / "e.json", "[1,2,{},[{\"name\":\"/e\"}]]");
    EXPECT_FALSE(ScanFiles::importExport(dir / "e.json", store, stop.get_token()));
    EXPECT_EQ(test::namesIn(dir.path()),
              (std::vector<std::string>{"e.json", "out.sqlite", "tree"}));
    EXPECT_TRUE(test::namesIn(store).empty());
}

// Another machine is scanned by the first of these found there.
TEST(RemoteScan, TheFirstScannerByPreferenceIsChosenWhateverElseThePromptSays) {
    const std::pair<std::string_view, std::optional<Agent>> cases[] = {
        {"/usr/bin/ncdu\n/usr/bin/gdu\n/opt/tb/bin/tarnbeck\n", Agent::tarnbeck},
        {"/usr/bin/gdu\n/usr/bin/ncdu\n", Agent::ncdu},
        {"Welcome to the NAS\n/usr/local/bin/gdu\r\n", Agent::gdu},
        {"alias ncdu='ncdu --color dark'\n/usr/bin/gdu\n", Agent::gdu}, // no program of its own
        {"/usr/bin/tarnbeck-old\n/home/x/ncdu/notes\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [probe, chosen] : cases)
        EXPECT_EQ(chooseAgent(probe), chosen) << probe;
}

TEST(RemoteScan, EachScannerWritesItsExportOfOneQuotedFolderToStandardOutput) {
    const std::string folder = "/srv/it's; rm -rf ~";
    EXPECT_EQ(agentCommand(Agent::tarnbeck, "/opt/bin/tarnbeck", folder),
              "'/opt/bin/tarnbeck' scan --export - -- '/srv/it'\\''s; rm -rf ~'");
    EXPECT_EQ(agentCommand(Agent::ncdu, "/usr/bin/ncdu", "/-x"),
              "'/usr/bin/ncdu' -0 -x -o - -- '/-x'");
    EXPECT_EQ(agentCommand(Agent::gdu, "/usr/bin/gdu", "/"), "'/usr/bin/gdu' -n -x -o - -- '/'");
}

} // namespace
} // namespace tb
