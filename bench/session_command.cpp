// tarnbeck-bench session-search DATA_HOME QUERY...: the window's search path
// as a user meets it. The session reads the history of DATA_HOME's store,
// opens the newest scan, and each query is typed one character every 90 ms;
// the times from the last keystroke to the open scan's hits and to each
// past scan's hits being published are printed, then each stage alone (the
// pause, the in-memory search, the search of each past scan's file).
// tarnbeck-bench session-rescan DATA_HOME FOLDER: scans FOLDER twice through
// the session (the second compares with the first) and prints when the
// second walk ended and when its comparison and its save were published.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <sstream>
#include <thread>

#include "bench_command.h"
#include "session/app_session.h"
#include "store/index_search.h"
#include "store/scan_store.h"

namespace tb::bench {
namespace {

std::string seconds(double s) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", s);
    return buf;
}

// Runs the event loop until `done` or the timeout; false on the timeout.
// It sleeps between events as the window's loop does: a loop that polled
// would take a core from the work it measures.
bool spinUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    QTimer tick; // wakes the wait, so that the timeout is seen
    tick.start(5);
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// CPU time of this thread: on a machine shared with builds the wall time
// says more about the others than about the search.
double threadCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

void spinFor(int ms) {
    spinUntil([] { return false; }, ms);
}

int sessionSearch(const std::vector<std::string>& args) {
    if (args.size() < 2) {
        std::cerr << "usage: session-search DATA_HOME QUERY...\n";
        return 2;
    }
    ::setenv("XDG_DATA_HOME", args[0].c_str(), 1);
    int argc = 1;
    char name[] = "tarnbeck-bench";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    AppSession session;

    using Clock = std::chrono::steady_clock;
    Clock::time_point memoryAt, lastPastAt;
    std::vector<double> pastAt;
    Clock::time_point typedAt;
    bool memoryPublished = false;
    QObject::connect(&session, &AppSession::changed, [&](SessionField f) {
        const auto now = Clock::now();
        if (f == SessionField::searchHits && !memoryPublished) {
            memoryPublished = true;
            memoryAt = now;
        }
        if (f == SessionField::historyHits && memoryPublished && !session.historyHits().empty()) {
            pastAt.push_back(std::chrono::duration<double>(now - typedAt).count());
            lastPastAt = now;
        }
    });

    session.prepareWorkspaceIfNeeded();
    if (!spinUntil([&] { return !session.history().empty(); }, 60'000)) {
        std::cerr << "no stored scans in " << args[0] << "\n";
        return 1;
    }
    spinFor(500); // the rest of the history
    const std::vector<ScanRecord> history = session.history();
    session.loadHistory(history.front());
    if (!spinUntil([&] { return session.forest() && !session.isScanning(); }, 120'000)) {
        std::cerr << "the newest scan did not open\n";
        return 1;
    }
    spinFor(3000); // the analyses of the opened scan run meanwhile in the window too

    for (std::size_t q = 1; q < args.size(); ++q) {
        const std::string& query = args[q];
        memoryPublished = false;
        pastAt.clear();
        for (std::size_t n = 1; n <= query.size(); ++n) {
            typedAt = Clock::now();
            session.setSearchQuery(query.substr(0, n));
            if (n < query.size()) spinFor(90);
        }
        spinUntil([&] { return memoryPublished; }, 30'000);
        spinFor(4000); // past scans report as they are read
        const double memory = std::chrono::duration<double>(memoryAt - typedAt).count();
        std::ostringstream past;
        for (std::size_t i = 0; i < pastAt.size(); ++i)
            past << (i ? ", " : "") << seconds(pastAt[i]);

        // Each stage alone, on this thread.
        auto start = Clock::now();
        double cpu = threadCpuSeconds();
        const auto ranked = IndexSearch::rankedHits(query, session.forest()->nodes());
        const double inMemory = std::chrono::duration<double>(Clock::now() - start).count();
        const double inMemoryCpu = threadCpuSeconds() - cpu;
        std::ostringstream files, filesCpu;
        int searched = 0;
        for (const ScanRecord& r : history) {
            if (searched == 3) break;
            if (session.isOpenScan(r)) continue;
            ++searched;
            start = Clock::now();
            cpu = threadCpuSeconds();
            const auto hits = ScanStore::search(r, query, 6);
            files << (searched > 1 ? ", " : "")
                  << seconds(std::chrono::duration<double>(Clock::now() - start).count());
            filesCpu << (searched > 1 ? ", " : "") << seconds(threadCpuSeconds() - cpu);
        }
        std::cout << "{\"query\": " << jsonString(query)
                  << ", \"nodes\": " << session.forest()->nodes().size()
                  << ", \"history\": " << history.size() << ", \"matched\": " << ranked.matched
                  << ", \"open_scan_hits_on_screen_s\": " << seconds(memory)
                  << ", \"past_scan_hits_on_screen_s\": [" << past.str() << "]"
                  << ", \"pause_s\": " << seconds(AppSession::searchPauseMs / 1000.0)
                  << ", \"in_memory_s\": " << seconds(inMemory)
                  << ", \"in_memory_cpu_s\": " << seconds(inMemoryCpu) << ", \"past_file_s\": ["
                  << files.str() << "], \"past_file_cpu_s\": [" << filesCpu.str() << "]}\n";
    }
    return 0;
}

int sessionRescan(const std::vector<std::string>& args) {
    if (args.size() != 2) {
        std::cerr << "usage: session-rescan DATA_HOME FOLDER\n";
        return 2;
    }
    ::setenv("XDG_DATA_HOME", args[0].c_str(), 1);
    int argc = 1;
    char name[] = "tarnbeck-bench";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    AppSession session;
    using Clock = std::chrono::steady_clock;
    Clock::time_point walked, compared, saved, analysed;
    bool haveChanges = false, haveHistory = false, haveCandidates = false;
    QObject::connect(&session, &AppSession::changed, [&](SessionField f) {
        const auto now = Clock::now();
        if (f == SessionField::forest) walked = now;
        if (f == SessionField::changes && session.changeList()) {
            compared = now;
            haveChanges = true;
        }
        if (f == SessionField::history && !session.isScanning()) {
            saved = now;
            haveHistory = true;
        }
        if (f == SessionField::cleanupCandidates) {
            analysed = now;
            haveCandidates = true;
        }
    });
    session.prepareWorkspaceIfNeeded();
    spinFor(1000);
    session.setScanRoot(args[1]);
    for (int round = 0; round < 2; ++round) {
        haveChanges = haveHistory = haveCandidates = false;
        const auto start = Clock::now();
        session.startScan();
        if (!spinUntil([&] { return !session.isScanning(); }, 600'000)) return 1;
        spinUntil([&] { return haveHistory; }, 600'000);
        spinUntil([&] { return round == 0 || haveChanges; }, 600'000);
        spinUntil([&] { return haveCandidates; }, 600'000);
        if (round == 0) continue;
        auto since = [&](Clock::time_point t) {
            return seconds(std::chrono::duration<double>(t - start).count());
        };
        std::cout << "{\"entries\": " << session.forest()->nodes().size()
                  << ", \"walk_s\": " << since(walked)
                  << ", \"changes_on_screen_s\": " << (haveChanges ? since(compared) : "null")
                  << ", \"in_history_s\": " << (haveHistory ? since(saved) : "null")
                  << ", \"analyses_s\": " << since(analysed)
                  << ", \"changes\": " << session.changes().size() << "}\n";
    }
    return 0;
}

Registration searchRegistration("session-search", sessionSearch);
Registration rescanRegistration("session-rescan", sessionRescan);

} // namespace
} // namespace tb::bench
