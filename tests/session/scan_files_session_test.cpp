#include <algorithm>

#include "support/session_scan.h"

namespace tb {
namespace {

using namespace tb::test;

class SessionFiles : public SessionInHome {
protected:
    void SetUp() override {
        putSized(work() + "/a.bin", 5000, 1);
        putSized(work() + "/sub/b.bin", 9000, 2);
        put(work() + "/sub/deep/name with \"quotes\"\n.txt", "x");
        makeDirs(out());
        QObject::connect(session.get(), &AppSession::changed, [this](SessionField f) {
            if (f == SessionField::statusMessage) ++statuses;
        });
    }
    // Waits for the status that follows "Opening…" or "Exporting…".
    bool answered(int before, const std::string& text) {
        return waitUntil([&] {
            const auto& m = session->statusMessage();
            return statuses >= before + 2 && m && m->find(text) != std::string::npos;
        });
    }
    std::string out() const { return home.home() + "/out"; }
    bool hasChange(const std::string& path, ScanChange::Kind kind) const {
        if (!session->changeList()) return false;
        const auto is = [&](const ScanChange& c) { return c.path == path && c.kind == kind; };
        return std::any_of(session->changes().begin(), session->changes().end(), is) ||
               std::any_of(session->changeList()->smaller.begin(),
                           session->changeList()->smaller.end(), is);
    }

    int statuses = 0;
};

TEST_F(SessionFiles, AnExportOpensAgainAsTheSameTree) {
    scan(work());
    const auto scanned = entriesOf(*session->forest());
    const std::string stored = session->history().front().fileURL;
    const std::size_t scans = session->history().size();

    for (const char* name : {"/tree.json", "/tree.sqlite"}) {
        SCOPED_TRACE(name);
        const std::string file = out() + name;
        if (std::string(name).ends_with(".json")) {
            const int before = statuses;
            session->exportNcdu(file);
            ASSERT_TRUE(answered(before, "Exported"));
            EXPECT_EQ(modeOf(file) & 0600u, 0600u);
        } else {
            writeFile(file, readFile(stored));
        }
        const auto before = session->forest();
        session->openScanFile(file);
        ASSERT_TRUE(
            waitUntil([&] { return !(session->forest() == before) && !session->isScanning(); }));
        EXPECT_EQ(session->forest()->root()->path(), work());
        EXPECT_EQ(entriesOf(*session->forest()), scanned);
        EXPECT_EQ(session->tab(), AppTab::explore);
    }
    // The export joined the stored scans; a scan file is opened where it is.
    EXPECT_EQ(session->history().size(), scans + 1);
}

TEST_F(SessionFiles, WhatCannotBeOpenedOrWrittenSaysSoAndKeepsTheTree) {
    scan(work());
    const auto shown = session->forest();
    put(out() + "/notes.txt", "hello");
    put(out() + "/broken.json", "[1,2,{},[{\"name\":");
    put(out() + "/fake.sqlite", "not a database");
    struct Case {
        std::string file;
        std::string says;
    };
    const Case cases[] = {
        {out() + "/notes.txt", "Open a scan file"},
        {out() + "/broken.json", "could not be read"},
        {out() + "/fake.sqlite", "not a scan"},
        {out() + "/missing.json.gz", "could not be read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const int before = statuses;
        session->openScanFile(c.file);
        ASSERT_TRUE(answered(before, c.says));
        EXPECT_TRUE(session->forest() == shown);
    }
    // Into a folder that is not there: nothing written, the reason given.
    const int before = statuses;
    session->exportNcdu(out() + "/no/such/folder/tree.json");
    ASSERT_TRUE(answered(before, "The export failed"));
    EXPECT_FALSE(exists(out() + "/no"));
}

TEST_F(SessionFiles, ChangesCompareWithTheChosenEarlierScanOfTheSameFolder) {
    scan(work());
    const ScanRecord first = session->history().front();
    putSized(work() + "/sub/added.bin", 200000, 3);
    scan(work());
    const ScanRecord second = session->history().front();
    // Another folder scanned between two scans of this one.
    putSized(home.home() + "/other/x.bin", 1000, 4);
    scan(home.home() + "/other");
    putSized(work() + "/sub/later.bin", 300000, 5);
    scan(work());

    // By default, the latest earlier scan of the same folder.
    ASSERT_TRUE(waitUntil([&] { return session->comparedWith().has_value(); }));
    EXPECT_EQ(session->comparedWith()->fileURL, second.fileURL);
    EXPECT_TRUE(hasChange(work() + "/sub/later.bin", ScanChange::Kind::added));
    EXPECT_FALSE(hasChange(work() + "/sub/added.bin", ScanChange::Kind::added));

    const auto earlier = session->comparableScans();
    ASSERT_EQ(earlier.size(), 2u);
    EXPECT_EQ(earlier[0].fileURL, second.fileURL);
    EXPECT_EQ(earlier[1].fileURL, first.fileURL);

    session->compareWith(first);
    ASSERT_TRUE(
        waitUntil([&] { return hasChange(work() + "/sub/added.bin", ScanChange::Kind::added); }));
    EXPECT_TRUE(hasChange(work() + "/sub/later.bin", ScanChange::Kind::added));
    EXPECT_EQ(session->comparedWith()->fileURL, first.fileURL);
}

} // namespace
} // namespace tb
