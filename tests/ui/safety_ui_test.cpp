#include "desktop/qt_desktop.h"
#include "workspace_fixture.h"
#include "base/path.h"
#include "ui/shell/status_banner.h"

namespace tb {
namespace {

using namespace tb::test;

TEST(DisplayText, NamesCannotHideOrPoseAsOthers) {
    const struct {
        std::string raw;
        QString shown;
    } cases[] = {
        {"plain name.txt", QStringLiteral("plain name.txt")},
        {"line\nbreak", QStringLiteral("line\u23CEbreak")},
        {"tab\there", QStringLiteral("tab\u2409here")},
        {"del\x7f", QStringLiteral("del\u2421")},
        {"bad\xff", QStringLiteral("bad\uFFFD")},
        // "invoice_\u202Efdp.exe" reads as "invoice_exe.pdf" without this.
        {"invoice_\xE2\x80\xAE"
         "fdp.exe",
         QStringLiteral("invoice_<U+202E>fdp.exe")},
        {"\xC2\x85\xE2\x80\x8E\xE2\x80\x8F\xE2\x80\xA8\xE2\x81\xA6\xE2\x81\xA9",
         QStringLiteral("<U+0085><U+200E><U+200F><U+2028><U+2066><U+2069>")},
        {"\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D",
         QStringLiteral("\u05E9\u05DC\u05D5\u05DD")}, // Hebrew stays
        {"caf\xC3\xA9 \xF0\x9F\x91\x8D", QStringLiteral("caf\u00E9 \U0001F44D")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DiskTheme::displayText(c.raw), c.shown) << c.raw;
    }
    // Markup in a name stays text wherever Qt would guess rich text.
    EXPECT_EQ(
        DiskTheme::toolTipText("<b>a&b</b>\n"),
        QStringLiteral("<p style=\"white-space:pre-wrap\">&lt;b&gt;a&amp;b&lt;/b&gt;\u23CE</p>"));
    std::unique_ptr<QLabel> label(DiskTheme::nameLabel("<i>x</i>"));
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
}

using SafetyUiTest = TasksTest;

TEST_F(SafetyUiTest, BannerShowsTheLatestMessageUntilReplacedOrDismissed) {
    StatusBanner banner(*session);
    RootView window(*session);
    EXPECT_TRUE(banner.text().isEmpty());
    session->handleDroppedFolder(file("dropped.txt"));
    EXPECT_EQ(banner.text(), "Drop a folder to scan. Files are not supported as scan roots.");
    EXPECT_TRUE(window.statusBanner()->isVisibleTo(&window));

    session->staging().stage(home.home(), "home", 1);
    EXPECT_EQ(banner.text(), "Your home folder cannot be staged.");
    banner.dismissButton()->click();
    EXPECT_TRUE(banner.text().isEmpty());
    // The same refusal again is news again.
    session->staging().stage(home.home(), "home", 1);
    EXPECT_EQ(banner.text(), "Your home folder cannot be staged.");

    // A message naming an item shows its control characters.
    const std::string odd = file("two\nlines");
    session->staging().stage(odd, "two\nlines", 1);
    session->staging().trashAll();
    ASSERT_EQ(session->staging().receipts().size(), 1u);
    session->staging().restore(session->staging().receipts()[0]);
    EXPECT_EQ(banner.text(), QStringLiteral("Restored two\u23CElines."));
}

TEST_F(SafetyUiTest, MoveToTrashAsksWithCancelAsTheDefaultAndFailedMovesOfferNoRestore) {
    StagingView view(*session);
    StagingStore& staging = session->staging();
    const std::string a = file("a.bin", 10'000), b = file("b.bin", 5'000);
    staging.stage(a, "a.bin", 10'000);
    staging.stage(b, "b.bin", 5'000);
    settle(20);

    shownButtons(&view, "Move to Trash").at(0)->click();
    QMessageBox* box = view.confirmation();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Move 2 items (15.0 KB) to the Trash? Frees about 15.0 KB.");
    ASSERT_NE(box->defaultButton(), nullptr);
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Cancel));
    QTest::keyClick(box, Qt::Key_Return); // a stray Return moves nothing
    settle(20);
    EXPECT_EQ(staging.items().size(), 2u);
    EXPECT_TRUE(exists(a) && exists(b));
    EXPECT_TRUE(staging.receipts().empty());

    shownButtons(&view, "Move to Trash").at(0)->click();
    box = view.confirmation();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(StagingView::confirmationText(1, 1'500, 0),
              "Move 1 item (1.5 KB) to the Trash? Frees about 0 B.");
    QAbstractButton* move = nullptr;
    for (auto* button : box->buttons()) {
        if (button->text() == "Move to Trash") move = button;
    }
    ASSERT_NE(move, nullptr);
    ASSERT_EQ(::unlink(a.c_str()), 0); // gone meanwhile: its receipt offers no restore
    move->click();
    settle(20);
    EXPECT_FALSE(exists(a) || exists(b));
    ASSERT_EQ(staging.receipts().size(), 2u);
    EXPECT_TRUE(shows(&view, "The path is no longer available. Scan again before retrying."));
    EXPECT_TRUE(shows(&view, "Moved 1 item. 1 item remains for retry."));
    auto restore = shownButtons(&view, "Restore");
    ASSERT_EQ(restore.size(), 1u); // only the successful move
    restore[0]->click();
    settle(20);
    EXPECT_TRUE(shows(&view, "Restored b.bin."));
    EXPECT_TRUE(exists(b));
    EXPECT_TRUE(shownButtons(&view, "Restore").empty());
}

TEST_F(SafetyUiTest, InspectorShowsOverridesInNames) {
    const std::string override = file(
        "invoice_\xE2\x80\xAE"
        "fdp.exe");
    scan(work());
    InspectorView inspector(*session);
    session->select(findNode(*session->forest(), override));
    settle(20);
    EXPECT_TRUE(shows(&inspector, QStringLiteral("invoice_<U+202E>fdp.exe")));
}

TEST_F(SafetyUiTest, ChosenFolderKeepsBytesThatAreNotUtf8) {
    const std::string cafe = work() + "/caf\xe9";
    makeDirs(cafe + "/sub folder");
    makeDirs(work() + "/twin\xe8");
    makeDirs(work() + "/twin\xe9");
    auto asQtDialogGivesIt = [](const std::string& raw) {
        return QUrl::fromLocalFile(QString::fromUtf8(raw.data(), qsizetype(raw.size())));
    };
    auto asPortalGivesIt = [](const std::string& raw) {
        return QUrl::fromEncoded(QByteArray::fromStdString(Path::fileUrl(raw)));
    };
    EXPECT_EQ(rawPathOf(asQtDialogGivesIt(cafe)), cafe);
    EXPECT_EQ(rawPathOf(asQtDialogGivesIt(cafe + "/sub folder")), cafe + "/sub folder");
    EXPECT_EQ(rawPathOf(asPortalGivesIt(cafe + "/sub folder")), cafe + "/sub folder");
    EXPECT_EQ(rawPathOf(asPortalGivesIt(work() + "/twin\xe8")), work() + "/twin\xe8");
    EXPECT_EQ(rawPathOf(asQtDialogGivesIt(work() + "/twin\xe8")), std::nullopt); // which twin?
    EXPECT_EQ(rawPathOf(asQtDialogGivesIt(work() + "/missing")), std::nullopt);
    EXPECT_EQ(rawPathOf(QUrl(QStringLiteral("https://example.com/x"))), std::nullopt);
}

} // namespace
} // namespace tb
