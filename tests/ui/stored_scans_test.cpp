#include <QMainWindow>
#include <QRegularExpression>
#include <QSpinBox>
#include <QSplitter>

#include "store/scan_retention.h"
#include "store/scan_store.h"
#include "ui/tasks/stored_scans.h"
#include "workspace_fixture.h"

namespace tb::test {
namespace {

class StoredScansTest : public SessionInHome {
protected:
    // A window holding a splitter of two panes, as the main window does.
    static QSplitter* splitIn(QMainWindow& window) {
        auto* splitter = new QSplitter;
        splitter->addWidget(new QWidget);
        splitter->addWidget(new QWidget);
        window.setCentralWidget(splitter);
        return splitter;
    }

    ScopedEnv config{"XDG_CONFIG_HOME", home.home() + "/.config"};
};

TEST_F(StoredScansTest, WindowStateComesBackInTheNextRun) {
    const std::string root = home.home() + "/odd\xff root";
    makeDirs(root);
    QList<int> savedSizes;
    {
        QMainWindow window;
        QSplitter* splitter = splitIn(window);
        window.resize(700, 600); // fits the test screen, whose geometry it keeps
        window.show();
        splitter->setSizes({150, 550});
        settle(50);
        savedSizes = splitter->sizes();
        AppSession saved;
        saved.setShowInspector(true);
        saved.setViewMode(ViewMode::bubbles);
        saved.setScanRoot(root);
        saveWindowState(window, saved);
    }
    QMainWindow window;
    QSplitter* splitter = splitIn(window);
    restoreWindowState(window, *session);
    window.show();
    settle(50);
    EXPECT_EQ(window.size(), QSize(700, 600));
    EXPECT_EQ(splitter->sizes(), savedSizes);
    EXPECT_TRUE(session->showInspector());
    EXPECT_EQ(session->viewMode(), ViewMode::bubbles);
    EXPECT_EQ(session->scanRoot(), root);
    EXPECT_TRUE(exists(home.home() + "/.config/Tarnbeck/Tarnbeck.conf"));

    // A root that is gone is not brought back.
    ::rmdir(root.c_str());
    AppSession later;
    const std::string initial = later.scanRoot();
    restoreWindowState(window, later);
    EXPECT_EQ(later.scanRoot(), initial);
}

TEST_F(StoredScansTest, RemovingMovesOnlyAScanThatIsNotOpenToTheTrash) {
    put(work() + "/f", "data");
    session->prepareWorkspaceIfNeeded();
    scan(work());
    scan(work());
    ASSERT_EQ(session->history().size(), 2u);
    const ScanRecord open = session->history()[0];
    const ScanRecord older = session->history()[1];
    EXPECT_GT(StoredScans::fileBytes(older.fileURL), 0);

    EXPECT_TRUE(session->isOpenScan(open));
    EXPECT_FALSE(session->removeStoredScan(open));
    EXPECT_TRUE(exists(open.fileURL));

    ASSERT_TRUE(session->removeStoredScan(older));
    EXPECT_FALSE(exists(older.fileURL));
    EXPECT_TRUE(exists(home.dataHome() + "/Trash/files/" +
                       older.fileURL.substr(older.fileURL.rfind('/') + 1)));

    std::unique_ptr<QWidget> section(StoredScans::usageSection(*session));
    EXPECT_EQ(shownTexts(section.get()).filter(QRegularExpression("^1 scan takes")).size(), 1);
}

TEST_F(StoredScansTest, SettingsChooseHowManyScansStay) {
    session->prepareWorkspaceIfNeeded();
    ASSERT_TRUE(waitUntil([&] { return session->retention().keepPerFolder == 5; }));
    std::unique_ptr<QWidget> section(StoredScans::usageSection(*session));
    auto* keep = section->findChild<QSpinBox*>(QStringLiteral("keepScans"));
    ASSERT_NE(keep, nullptr);
    EXPECT_EQ(keep->value(), 5);
    keep->setValue(0);
    EXPECT_EQ(keep->text(), QStringLiteral("All"));
    EXPECT_EQ(session->retention().keepPerFolder, std::nullopt);
    keep->setValue(3);
    EXPECT_EQ(ScanRetention::read(ScanStore::directory()).keepPerFolder, 3);
    ASSERT_TRUE(session->setKeepScans(7));
    EXPECT_EQ(keep->value(), 7);
}

} // namespace
} // namespace tb::test
