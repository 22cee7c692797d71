#include "app/command_line.h"
#include "app/opening.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "store/scan_store.h"
#include "support/temp_dir.h"
#include "support/tree_builder.h"

namespace tb {
namespace {

TEST(CommandLine, ParsesCommandsAndOptionsAndUsageErrorsNameTheBadArgument) {
    using V = std::vector<std::string>;
    const struct {
        V args;
        CommandLine expected;
    } cases[] = {
        {{}, {Command::window, "", {}}},
        {{"/home/u"}, {Command::window, "/home/u", {}}},
        {{"scan", "/usr"}, {Command::scan, "/usr", {}}},
        {{"scan", "/usr", "-o", "x.sqlite"}, {Command::scan, "/usr", "x.sqlite"}},
        {{"-o", "x", "scan", "/usr"}, {Command::scan, "/usr", "x"}},
        {{"scan", "--output=x", "--", "-odd"}, {Command::scan, "-odd", "x"}},
        {{"export", "s.sqlite"}, {Command::exportScan, "s.sqlite", {}}},
        {{"import", "-"}, {Command::importExport, "-", {}}},
        {{"--", "scan"}, {Command::window, "scan", {}}},
        {{"./scan"}, {Command::window, "./scan", {}}},
        {{"scan", "--help"}, {Command::help, "", {}}},
        {{"bogus", "-V"}, {Command::version, "", {}}},
        {{"scan", "/r", "--exclude", "*.iso", "--exclude=/proc", "--cross-mounts"},
         {Command::scan, "/r", {}, {"*.iso", "/proc"}, true}},
        {{"scan", "--exclude", "-o", "/r"}, {Command::scan, "/r", {}, {"-o"}, false}},
        {{"scan", "--export", "-", "/r"}, {Command::scan, "/r", {}, {}, false, "-"}},
        {{"scan", "--export=e.json", "/r"}, {Command::scan, "/r", {}, {}, false, "e.json"}},
        {{"scan", "ssh://nas:22/srv"}, {Command::scan, "ssh://nas:22/srv", {}}},
    };
    for (const auto& c : cases) {
        const auto parsed = parseCommandLine(c.args);
        ASSERT_TRUE(parsed.line) << parsed.error->message;
        EXPECT_EQ(*parsed.line, c.expected) << c.args.size();
    }
    // Usage errors name the bad argument.
    const struct {
        V args;
        std::string message;
    } bad[] = {
        {{"-x"}, "unknown option '-x'"},
        {{"scan"}, "'scan' needs a folder to scan"},
        {{"export"}, "'export' needs a scan file"},
        {{"scan", "/a", "/b"}, "unexpected argument '/b'"},
        {{"scan", "/a", "-o"}, "option '-o' needs a file name"},
        {{"scan", "/a", "-o", "x", "--output", "y"}, "option '--output' is given twice"},
        {{"import", "f", "-o", "x"}, "only applies to scan and export"},
        {{"/a", "-o", "x"}, "only applies to scan and export"},
        {{"-"}, "standard input"},
        {{"scan", "/a", "--exclude"}, "option '--exclude' needs a pattern"},
        {{"scan", "/a", "--exclude="}, "option '--exclude' needs a pattern"},
        {{"export", "f", "--cross-mounts"}, "only apply to scan"},
        {{"/a", "--exclude", "x"}, "only apply to scan"},
        {{"export", "s", "--export", "-"}, "'--export' only applies to scan"},
        {{"scan", "/a", "--export"}, "'--export' needs a file name"},
        {{"scan", "/a", "--export", "-", "--export", "x"}, "given twice"},
        {{"scan", "/a", "--export", "-", "-o", "x"}, "cannot be given together"},
        {{"scan", "ssh://nas/srv", "-o", "x"}, "another machine takes no options"},
        {{"scan", "ssh://nas/srv", "--exclude", "x"}, "another machine takes no options"},
    };
    for (const auto& c : bad) {
        const auto parsed = parseCommandLine(c.args);
        ASSERT_TRUE(parsed.error) << c.message;
        EXPECT_NE(parsed.error->message.find(c.message), std::string::npos)
            << parsed.error->message;
    }
}

TEST(CommandLine, HelpFitsATerminalAndTheManualCarriesItsEntries) {
    const std::string help = helpText();
    const std::string man = manPage();
    for (const char* term :
         {"scan PATH", "export SCAN", "import FILE", "Bad usage.", "$XDG_DATA_HOME/Tarnbeck/scans"})
        EXPECT_NE(help.find(term), std::string::npos) << term;
    EXPECT_NE(man.find(".B scan PATH\nScan the folder PATH"), std::string::npos);
    EXPECT_NE(man.find(".SH EXIT STATUS"), std::string::npos);
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);)
        EXPECT_LE(line.size(), 79u) << line;
}

// Bytes this thread has asked the kernel to read, page cache or not.
std::int64_t bytesReadByThisThread() {
    std::ifstream io("/proc/thread-self/io");
    std::string key;
    std::int64_t value = 0;
    while (io >> key >> value)
        if (key == "rchar:") return value;
    return -1;
}

TEST(Opening, AFolderOrAStoredScanIsCheckedWithoutReadingItsTreeAndAnythingElseRefused) {
    test::TempHome home;
    test::TreeBuilder b("/big");
    for (int d = 0; d < 40; ++d) {
        const std::string dir = "/big/folder-" + std::to_string(d);
        b.dir(dir);
        for (int f = 0; f < 1000; ++f)
            b.file(dir + "/a-rather-long-file-name-" + std::to_string(f), 4096 + f);
    }
    b.rollUp();
    auto saved = ScanStore::save(b.forest(test::testContext("/big"), 0, 40'041), "/big");
    ASSERT_TRUE(saved);
    const std::int64_t fileSize = test::readFile(saved->fileURL).size();
    ASSERT_GT(fileSize, 3'000'000);

    const std::int64_t before = bytesReadByThisThread();
    ASSERT_GE(before, 0) << "no /proc/thread-self/io";
    auto opening = resolveOpening(saved->fileURL);
    const std::int64_t read = bytesReadByThisThread() - before;
    ASSERT_TRUE(opening);
    ASSERT_TRUE(opening->scan);
    EXPECT_EQ(opening->scan->id, saved->id);
    EXPECT_FALSE(opening->folder);
    EXPECT_LT(read, fileSize / 4) << "read " << read << " of " << fileSize;
    // A folder opens as one; anything but a scan file is refused.
    test::TempDir dir;
    auto folder = resolveOpening(dir.path());
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->folder, dir.path());

    const std::string notAScan = dir / "x.sqlite";
    test::writeFile(notAScan, "plain text");
    EXPECT_FALSE(resolveOpening(notAScan));
    EXPECT_FALSE(resolveOpening(dir / "absent"));
    test::writeFile(dir / "notes.txt", "text");
    EXPECT_FALSE(resolveOpening(dir / "notes.txt"));
}

} // namespace
} // namespace tb
