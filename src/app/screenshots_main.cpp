// Renders every tab, every Explore mode, the inspector, the review queue, its
// confirmation and the settings window of a generated folder tree, headless,
// into PNG files. Runs in a throwaway home, so the user's scans, settings and
// Trash are never touched. Usage: tarnbeck_screenshots OUTPUT_FOLDER
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollArea>
#include <QToolBar>
#include <QTreeWidget>
#include <QScrollBar>
#include <QMessageBox>
#include <QSet>
#include <QThread>
#include <QTimer>

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "desktop/qt_desktop.h"
#include "layout/map_depth.h"
#include "interchange/scan_files.h"
#include "platform/output_file.h"
#include "scan/directory_walker.h"
#include "store/scan_store.h"
#include "session/app_session.h"
#include "ui/explore/maps/treemap_view.h"
#include "ui/explore/scan_workspace.h"
#include "ui/shell/root_view.h"

namespace {

bool waitUntil(const std::function<bool()>& done, int timeoutMs = 30000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

void settle(int ms = 250) {
    waitUntil([] { return false; }, ms);
}

void makeDirs(const std::string& path) {
    QDir().mkpath(QString::fromStdString(path));
}

// A file of `size` bytes whose content depends on `seed`, dated `daysAgo`.
void put(const std::string& path, std::int64_t size, unsigned seed, int daysAgo) {
    makeDirs(path.substr(0, path.rfind('/')));
    auto file = tb::platform::OutputFile::create(path, {.mode = 0644});
    if (!file) return;
    std::string block(64 * 1024, '\0');
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = char((i * 31 + seed * 7919) & 0xff);
    for (std::int64_t left = size; left > 0;) {
        const auto n = std::min<std::int64_t>(left, std::int64_t(block.size()));
        if (!file->write(std::string_view(block.data(), std::size_t(n)))) return;
        left -= n;
    }
    if (!file->publish()) return;
    const timeval when[2] = {{::time(nullptr) - daysAgo * 86400L, 0},
                             {::time(nullptr) - daysAgo * 86400L, 0}};
    ::utimes(path.c_str(), when);
}

// A home with projects, media, caches and a few duplicates: enough for every
// view to have something to show.
void generateTree(const std::string& home) {
    const struct {
        const char* path;
        int megabytes10; // tenths of a megabyte
        int daysAgo;
    } files[] = {
        {"Projects/atlas/node_modules/react/index.js", 18, 40},
        {"Projects/atlas/node_modules/lodash/lodash.js", 14, 40},
        {"Projects/atlas/node_modules/typescript/lib/tsc.js", 60, 40},
        {"Projects/atlas/src/main.ts", 1, 2},
        {"Projects/atlas/build/bundle.js", 25, 3},
        {"Projects/tarn/target/debug/tarn", 80, 10},
        {"Projects/tarn/target/debug/deps/libserde.rlib", 30, 10},
        {"Projects/tarn/src/lib.rs", 1, 1},
        {"Projects/tarn/Cargo.toml", 0, 10},
        {"Projects/atlas/package.json", 0, 40},
        {"Projects/atlas/package-lock.json", 0, 40},
        {"Projects/scrape/.venv/pyvenv.cfg", 0, 50},
        {"Projects/scrape/.venv/lib/python3.11/site-packages/scrape_tweaks.py", 14, 50},
        {"Projects/scrape/requirements.txt", 0, 50},
        {"Videos/holiday-2023.mp4", 120, 700},
        {"Videos/talk.webm", 70, 300},
        {"Pictures/2024/beach.jpg", 6, 200},
        {"Pictures/2024/beach copy.jpg", 6, 200},
        {"Pictures/2025/hike.jpg", 8, 90},
        {"Documents/thesis.pdf", 9, 1200},
        {"Documents/old/thesis-final.pdf", 9, 1200},
        {"Documents/taxes/2024.ods", 2, 400},
        {"Downloads/debian-12.iso", 90, 150},
        {"Downloads/installer.deb", 15, 20},
        {".cache/pip/wheels/numpy.whl", 35, 60},
        {".cache/yarn/v6/pkg.tgz", 12, 60},
        {".local/share/Steam/steamapps/common/game.pak", 100, 30},
        {"Music/album/01.flac", 30, 900},
        {"Music/album/02.flac", 28, 900},
    };
    unsigned seed = 1;
    for (const auto& f : files) {
        const std::string name = f.path;
        // "copy" and "old" files repeat the content of their originals.
        const bool twin =
            name.find(" copy") != std::string::npos || name.find("/old/") != std::string::npos;
        put(home + "/" + name, std::int64_t(f.megabytes10) * 100'000, twin ? seed - 1 : seed,
            f.daysAgo);
        if (!twin) ++seed;
    }
    // Data of a Flatpak no longer installed, and a menu entry whose
    // program was removed.
    put(home + "/.var/app/com.spotify.Client/cache/storage.bin", 6'000'000, 77, 120);
    makeDirs(home + "/.local/share/applications");
    if (auto entry = tb::platform::OutputFile::create(
            home + "/.local/share/applications/old-editor.desktop", {.mode = 0644})) {
        if (entry->write("[Desktop Entry]\nType=Application\nName=Old Editor\n"
                         "Exec=/opt/old-editor/bin/editor %F\n"))
            (void)entry->publish();
    }
    // Snapshots kept as hard links: one file under three names.
    makeDirs(home + "/Backups/monday");
    makeDirs(home + "/Backups/tuesday");
    ::link((home + "/Videos/talk.webm").c_str(), (home + "/Backups/monday/talk.webm").c_str());
    ::link((home + "/Videos/talk.webm").c_str(), (home + "/Backups/tuesday/talk.webm").c_str());
}

const tb::ScanNode* nodeAt(const tb::AppSession& session, const std::string& path) {
    if (!session.forest()) return nullptr;
    for (const tb::ScanNode* n : session.forest()->nodes())
        if (n->path() == path) return n;
    return nullptr;
}

QString outputFolder;
int written = 0;
QStringList problems;

bool looksBlank(const QImage& image) {
    QSet<QRgb> colours;
    const QImage small = image.scaled(96, 64);
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x)
            colours.insert(small.pixel(x, y));
    return colours.size() < 8;
}

void save(QWidget* widget, const QString& name) {
    settle();
    const QImage image = widget->grab().toImage();
    const QString file = outputFolder + QLatin1Char('/') + name + QStringLiteral(".png");
    if (image.isNull() || looksBlank(image)) {
        problems << name + QStringLiteral(": blank");
        return;
    }
    // Encoded in memory and written through OutputFile: QImage::save would
    // open the name as it finds it, link or FIFO.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        problems << name + QStringLiteral(": cannot encode");
        return;
    }
    auto out =
        tb::platform::OutputFile::create(QFile::encodeName(file).toStdString(), {.mode = 0644});
    tb::Status stored = out ? out->write(std::string_view(png.constData(), std::size_t(png.size())))
                            : tb::Status(out.error());
    if (stored) stored = out->publish();
    if (!stored) {
        problems << name + QStringLiteral(": ") + QString::fromStdString(stored.error().message);
        return;
    }
    ++written;
    std::printf("%s\n", file.toLocal8Bit().constData());
}

QAbstractButton* visibleButton(QWidget* root, const QString& text) {
    for (QAbstractButton* b : root->findChildren<QAbstractButton*>())
        if (b->isVisible() && b->isEnabled() && b->text() == text) return b;
    return nullptr;
}

// A modal dialog shows up inside the click that opens it; it is saved and
// dismissed from a timer running in the dialog's own event loop.
void saveNextDialog(const QString& name) {
    QTimer::singleShot(600, [name] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QDialog*>(w);
            if (dialog && dialog->isVisible()) {
                save(dialog, name);
                dialog->reject();
                return;
            }
        }
        // Not every build asks before the move; the queue is in a throwaway home.
        std::fprintf(stderr, "tarnbeck_screenshots: %s: no dialog appeared\n",
                     name.toLocal8Bit().constData());
    });
}

// The tree before Move to Trash, the question, the tree after, and after
// Undo has put the item back.
void saveMoveToTrash(tb::AppSession& session, tb::RootView& window, const std::string& path) {
    const tb::ScanNode* item = nodeAt(session, path);
    if (!item) {
        problems << QStringLiteral("move-to-trash: no item");
        return;
    }
    session.setShowInspector(false);
    session.jumpTo(item);
    save(&window, QStringLiteral("trash-before"));
    window.trashAction()->trigger();
    settle();
    QMessageBox* box = nullptr;
    for (QMessageBox* b : window.findChildren<QMessageBox*>())
        if (b->isVisible()) box = b;
    if (!box) {
        problems << QStringLiteral("trash-confirm: not shown");
        return;
    }
    save(box, QStringLiteral("trash-confirm"));
    for (QAbstractButton* b : box->buttons())
        if (b->text() == QStringLiteral("Move to Trash")) b->click();
    save(&window, QStringLiteral("trash-after"));
    window.undoAction()->trigger();
    waitUntil([&] { return nodeAt(session, path) != nullptr; });
    save(&window, QStringLiteral("trash-undone"));
}

// The maps coloured by type with their legend, every level at once, and a
// shape chosen with the keys; then back to the defaults.
void saveMapChoices(tb::AppSession& session, tb::RootView& window) {
    auto* workspace = window.findChild<tb::ScanWorkspace*>();
    if (!workspace) {
        problems << QStringLiteral("map choices: no workspace");
        return;
    }
    session.select(nullptr);
    workspace->setColourByType(true);
    for (const auto mode : {tb::ViewMode::treemap, tb::ViewMode::sunburst, tb::ViewMode::flame}) {
        session.setViewMode(mode);
        save(&window,
             QStringLiteral("explore-") +
                 QString::fromUtf8(tb::info(mode).id.data(), qsizetype(tb::info(mode).id.size())) +
                 QStringLiteral("-by-type"));
    }
    workspace->setMapDepth(tb::MapDepth::all);
    session.setViewMode(tb::ViewMode::treemap);
    save(&window, QStringLiteral("explore-treemap-all-levels"));
    session.setViewMode(tb::ViewMode::sunburst);
    save(&window, QStringLiteral("explore-sunburst-all-levels"));
    workspace->setColourByType(false);
    workspace->setMapDepth(tb::ScanWorkspace::defaultDepth);
    session.setViewMode(tb::ViewMode::treemap);
    settle();
    tb::TreemapView* map = workspace->treemap();
    map->setFocus(Qt::TabFocusReason);
    for (const auto key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Down}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(map, &press);
    }
    save(&window, QStringLiteral("explore-treemap-keys"));
    session.select(nullptr);
}

// A scan of a server's folder as a remote scan stores it (from an export,
// marked with the machine), in Recent scans, and its refusal to queue an item.
void saveRemoteScan(tb::AppSession& session, tb::RootView& window, const std::string& home) {
    const std::string folder = home + "/Projects";
    const tb::ScanForest walked =
        tb::DirectoryWalker::walk(folder, [](const tb::WalkProgress&) {}, {});
    std::string json;
    tb::NcduJson::WriteOptions options;
    options.progver = "screenshots";
    options.links = &walked.links();
    tb::NcduJson::write(
        *walked.root(), [&json](std::string_view piece) { return json += piece, true; }, options);
    // Named as the server's folder would be.
    if (const auto at = json.find("\"" + folder + "\""); at != std::string::npos)
        json.replace(at + 1, folder.size(), "/srv/projects");
    auto imported = tb::NcduJson::read(json);
    if (!imported) {
        problems << QStringLiteral("remote scan: ") +
                        QString::fromStdString(imported.error().message);
        return;
    }
    auto stored = tb::ScanFiles::storeImported(std::move(*imported), tb::ScanStore::directory(),
                                               "backup@nas.local");
    if (!stored) {
        problems << QStringLiteral("remote scan: ") +
                        QString::fromStdString(stored.error().message);
        return;
    }
    session.addStoredScan(stored->record, {});
    session.loadHistory(stored->record);
    if (!waitUntil([&] {
            return !session.isScanning() && session.forest() &&
                   session.forest()->context().isRemote();
        })) {
        problems << QStringLiteral("remote scan: not opened");
        return;
    }
    session.setTab(tb::AppTab::explore);
    session.setViewMode(tb::ViewMode::folders);
    save(&window, QStringLiteral("remote-recent-scans"));
    if (const tb::ScanNode* atlas = nodeAt(session, "/srv/projects/atlas")) {
        session.jumpTo(atlas);
        window.trashAction()->trigger();
        settle();
    } else {
        problems << QStringLiteral("remote scan: no folder to queue");
    }
    session.setTab(tb::AppTab::stage);
    save(&window, QStringLiteral("remote-queue-refused"));
    if (session.staging().lastMessage() != std::string(tb::StagingStore::kOtherMachine))
        problems << QStringLiteral("remote-queue-refused: not refused");
}

int run(QApplication& app, const std::string& home) {
    Q_UNUSED(app);
    generateTree(home);
    auto desktop = std::make_shared<tb::QtDesktop>();
    tb::AppSession session(desktop);
    tb::RootView window(session);
    desktop->setDialogParent(&window);
    window.resize(1280, 800);
    window.show();
    settle(500);

    auto scan = [&session](const std::string& root) {
        const auto before = session.history().size();
        session.setScanRoot(root);
        session.startScan();
        return waitUntil(
            [&] { return !session.isScanning() && session.history().size() > before; });
    };
    // Two scans a little apart, so that Changes has something to compare.
    if (!scan(home)) problems << QStringLiteral("first scan did not finish");
    put(home + "/Downloads/new-dataset.csv", 4'000'000, 99, 0);
    put(home + "/Projects/atlas/node_modules/vite/dist/vite.js", 2'500'000, 98, 0);
    if (!scan(home)) problems << QStringLiteral("second scan did not finish");
    session.findDuplicates();
    waitUntil([&] { return !session.isFindingDuplicates(); });

    for (const auto& tab : tb::appTabs) {
        if (tab.tab == tb::AppTab::explore || tab.tab == tb::AppTab::stage) continue;
        session.setTab(tab.tab);
        save(&window,
             QStringLiteral("tab-") + QString::fromUtf8(tab.id.data(), qsizetype(tab.id.size())));
    }

    // The sections at the foot of Apps and Clean Up, scrolled into view.
    const auto showSection = [&](tb::AppTab tab, const QString& heading, const QString& name) {
        session.setTab(tab);
        settle();
        for (QLabel* l : window.findChildren<QLabel*>()) {
            if (!l->isVisible() || l->text() != heading) continue;
            for (QWidget* w = l->parentWidget(); w; w = w->parentWidget()) {
                if (auto* area = qobject_cast<QScrollArea*>(w)) {
                    area->ensureWidgetVisible(l, 0, 0);
                    area->verticalScrollBar()->setValue(area->verticalScrollBar()->value() +
                                                        area->viewport()->height() / 3);
                    save(&window, name);
                    return;
                }
            }
        }
        problems << name + QStringLiteral(": no section \u201c") + heading +
                        QStringLiteral("\u201d");
    };
    showSection(tb::AppTab::apps, QStringLiteral("Left behind"),
                QStringLiteral("apps-left-behind"));
    waitUntil([&] { return !session.systemReclaims().empty(); }, 15000);
    showSection(tb::AppTab::cleanup, QStringLiteral("System"), QStringLiteral("cleanup-system"));

    session.setTab(tb::AppTab::explore);
    session.setShowInspector(false);
    for (const auto& mode : tb::viewModes) {
        session.setViewMode(mode.mode);
        save(&window, QStringLiteral("explore-") +
                          QString::fromUtf8(mode.id.data(), qsizetype(mode.id.size())));
    }
    saveMapChoices(session, window);
    // Keyboard focus on a toolbar button shows its ring.
    if (auto* bar = window.findChild<QToolBar*>();
        bar && bar->widgetForAction(window.scanAction())) {
        window.activateWindow();
        bar->widgetForAction(window.scanAction())->setFocus(Qt::TabFocusReason);
        save(&window, QStringLiteral("focus-ring"));
        window.sidebar()->setFocus(Qt::MouseFocusReason);
    } else {
        problems << QStringLiteral("focus-ring: no Scan button");
    }
    session.setViewMode(tb::ViewMode::treemap);
    if (const tb::ScanNode* root = session.displayRoot(); root && !root->children().empty())
        session.select(root->children().front());
    session.setShowInspector(true);
    save(&window, QStringLiteral("inspector"));
    session.setViewMode(tb::ViewMode::folders);
    if (const tb::ScanNode* link = nodeAt(session, home + "/Backups/tuesday/talk.webm")) {
        session.jumpTo(link);
        save(&window, QStringLiteral("inspector-hard-link"));
    } else {
        problems << QStringLiteral("inspector-hard-link: no linked file");
    }
    if (const tb::ScanNode* backups = nodeAt(session, home + "/Backups")) {
        session.jumpTo(backups);
        save(&window, QStringLiteral("inspector-frees"));
    }
    saveMoveToTrash(session, window, home + "/Downloads/new-dataset.csv");
    session.setViewMode(tb::ViewMode::treemap);

    if (!session.cleanupCandidates().empty()) {
        session.stage(session.cleanupCandidates().front());
    } else {
        problems << QStringLiteral("no cleanup candidate to queue");
    }
    session.setTab(tb::AppTab::stage);
    save(&window, QStringLiteral("review-queue"));
    if (QAbstractButton* trash = visibleButton(&window, QStringLiteral("Move to Trash"))) {
        saveNextDialog(QStringLiteral("confirm-dialog"));
        trash->click();
        settle(800);
    } else {
        problems << QStringLiteral("confirm-dialog: no Move to Trash button");
    }

    // A scan that leaves things out: a rule from Settings and the snapshot
    // trees excluded by default.
    put(home + "/.snapshots/1/snapshot/disk.img", 3'000'000, 97, 0);
    auto patterns = session.excludePatterns();
    patterns.push_back("node_modules");
    session.setExcludePatterns(patterns);
    if (!scan(home)) problems << QStringLiteral("excluding scan did not finish");
    session.setTab(tb::AppTab::explore);
    session.setShowInspector(false);
    session.setViewMode(tb::ViewMode::folders);
    if (session.forest()) session.jumpTo(session.forest()->root());
    save(&window, QStringLiteral("explore-excluded"));
    if (const tb::ScanNode* atlas = nodeAt(session, home + "/Projects/atlas")) {
        session.jumpTo(atlas);
        save(&window, QStringLiteral("explore-excluded-folder"));
    } else {
        problems << QStringLiteral("explore-excluded-folder: no folder");
    }

    // The mounted volumes, with their figures once read.
    if (auto* volumes = window.findChild<QAction*>(QStringLiteral("allVolumes"))) {
        volumes->trigger();
        waitUntil([&] { return !session.volumes().empty(); });
        settle(300);
        if (auto* w = window.findChild<QWidget*>(QStringLiteral("allVolumesWindow"))) {
            save(w, QStringLiteral("all-volumes"));
            w->close();
        } else {
            problems << QStringLiteral("all-volumes: not shown");
        }
    } else {
        problems << QStringLiteral("all-volumes: no menu item");
    }
    saveRemoteScan(session, window, home);

    for (QAction* a : window.findChildren<QAction*>()) {
        if (a->text().startsWith(QStringLiteral("Settings"))) {
            a->trigger();
            break;
        }
    }
    settle();
    bool settingsSaved = false;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w != &window && w->isVisible() && w->windowTitle() == QStringLiteral("Settings")) {
            save(w, QStringLiteral("settings-window"));
            settingsSaved = true;
        }
    }
    if (!settingsSaved) problems << QStringLiteral("settings-window: not shown");

    for (const QString& p : problems)
        std::fprintf(stderr, "tarnbeck_screenshots: %s\n", p.toLocal8Bit().constData());
    std::fprintf(stderr, "%d screenshots in %s\n", written, outputFolder.toLocal8Bit().constData());
    constexpr int kAtLeast = 30;
    return problems.isEmpty() && written >= kAtLeast ? 0 : 1;
}

void removeTree(const std::string& path) {
    QDir(QString::fromStdString(path)).removeRecursively();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tarnbeck_screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    std::string home = "/tmp/tarnbeck-shots-XXXXXX";
    if (const char* tmp = std::getenv("TMPDIR"); tmp && tmp[0] == '/')
        home = std::string(tmp) + "/tarnbeck-shots-XXXXXX";
    if (::mkdtemp(home.data()) == nullptr) {
        std::perror("tarnbeck_screenshots: mkdtemp");
        return 1;
    }
    // Everything the program reads or writes lands in the throwaway home.
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);

    int status = 1;
    {
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Tarnbeck"));
        QApplication::setOrganizationName(QStringLiteral("Tarnbeck"));
        outputFolder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
        QDir().mkpath(outputFolder);
        status = run(app, home);
    }
    removeTree(home);
    return status;
}
