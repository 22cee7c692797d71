#include "review/receipt_log.h"
#include "workspace_fixture.h"
#include "ui/tasks/monitor_view.h"

namespace tb {
namespace {

using namespace tb::test;

using StagingViewTest = TasksTest;

TEST_F(StagingViewTest, SummaryCountsQueuedItemsAndRemoveEmptiesIt) {
    StagingView view(*session);
    StagingStore& staging = session->staging();
    staging.stage(file("one.bin", 10'000), "one.bin", 10'000);
    staging.stage(file("two.bin", 5'000), "two.bin", 5'000);
    settle(20);
    EXPECT_TRUE(shows(&view, "2 items selected"));
    EXPECT_TRUE(shows(&view, "Frees about 15.0 KB"));
    EXPECT_EQ(StagingView::selectedText(1), "1 item selected");
    EXPECT_EQ(StagingView::selectedText(0), "0 items selected"); // only one is singular
    // Remove empties the list from inside the click of its own button.
    for (int i = 0; i < 2; ++i) {
        shownButtons(&view, "Remove").at(0)->click();
        settle(20);
    }
    EXPECT_TRUE(staging.items().empty());
    // Empty, it offers the places to find something.
    EXPECT_TRUE(shows(&view, "Your review queue is empty"));
    shownButtons(&view, "Open Clean Up").at(0)->click();
    EXPECT_EQ(session->tab(), AppTab::cleanup);
    shownButtons(&view, "Open Explore").at(0)->click();
    EXPECT_EQ(session->tab(), AppTab::explore);
}

TEST_F(StagingViewTest, QuickWinIsQueuedAsKnownLocation) {
    putSized(home.home() + "/.ollama/models/blob.bin", 6'000'000, 5);
    StagingView view(*session);
    session->prepareWorkspaceIfNeeded();
    ASSERT_TRUE(waitUntil([&] { return !session->quickWins().empty(); }));
    settle(20);
    // Each suggestion names its reason and where it is.
    EXPECT_TRUE(shows(&view, "Local weights. Re-pull if you still need them."));
    EXPECT_TRUE(shows(&view, QString::fromStdString(home.home() + "/.ollama/models")));
    shownButtons(&view, "Add to queue").at(0)->click();
    settle(20);
    ASSERT_EQ(session->staging().items().size(), 1u);
    const StagedItem& item = session->staging().items()[0];
    EXPECT_EQ(item.url, home.home() + "/.ollama/models");
    EXPECT_EQ(item.reason, "Known location: Local weights. Re-pull if you still need them.");
    EXPECT_FALSE(shownButtons(&view, "Added").at(0)->isEnabled());
}

// Another window of the program moves an item; its receipt shows here when
// the queue is shown again, and it can be put back from here.
TEST_F(StagingViewTest, ShownAgainItListsAnotherInstancesMoves) {
    StagingView view(*session);
    view.show();
    settle(20);
    StagingStore other;
    other.setReceiptFile(*ReceiptLog::defaultPath());
    const std::string moved = file("elsewhere.bin");
    other.stage(moved, "elsewhere.bin", 10'000);
    other.trashAll();
    ASSERT_TRUE(other.receipts().at(0).succeeded);

    view.hide();
    view.show();
    ASSERT_TRUE(waitUntil([&] { return shownButtons(&view, "Restore").size() == 1; }, 3000));
    shownButtons(&view, "Restore").at(0)->click();
    settle(20);
    EXPECT_TRUE(exists(moved));
    other.reloadReceipts();
    EXPECT_TRUE(other.receipts().empty());
}

using MonitorViewTest = TasksTest;

int volumeReads(const QSignalSpy& spy) {
    int n = 0;
    for (const auto& args : spy)
        n += args.at(0).value<SessionField>() == SessionField::volume;
    return n;
}

TEST_F(MonitorViewTest, RefreshesWhileShownAndStopsWhenHidden) {
    QSignalSpy spy(session.get(), &AppSession::changed);
    MonitorView view(*session);
    view.setRefreshInterval(std::chrono::milliseconds(300));
    EXPECT_TRUE(shows(&view, "Volume accounting is unavailable."));
    EXPECT_EQ(volumeReads(spy), 0);

    view.show();
    EXPECT_EQ(volumeReads(spy), 1); // at once
    EXPECT_TRUE(view.isRefreshing());
    ASSERT_TRUE(session->volume());
    settle(20); // rows added to a shown form appear with the next event round
    EXPECT_TRUE(shows(&view, "Capacity"));
    EXPECT_FALSE(shows(&view, "Volume accounting is unavailable."));
    ASSERT_TRUE(waitUntil([&] { return volumeReads(spy) >= 3; }, 3000));

    view.hide();
    EXPECT_FALSE(view.isRefreshing());
    const int reads = volumeReads(spy);
    settle(800);
    EXPECT_EQ(volumeReads(spy), reads);

    view.show(); // showing again starts over with an immediate read
    EXPECT_EQ(volumeReads(spy), reads + 1);
}

} // namespace
} // namespace tb
