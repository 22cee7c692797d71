// A session in a temporary home, real scans of small trees, and ways to read
// what a task view shows.
#pragma once

#include <QAbstractButton>

#include "ui/tasks/task_widgets.h"
#include "workspace_fixture.h"

namespace tb::test {

// Every label text and elided path that would show with `root`.
inline QStringList shownTexts(QWidget* root) {
    QStringList out;
    for (QLabel* l : root->findChildren<QLabel*>()) {
        if (l->isVisibleTo(root) && !l->text().isEmpty()) out << l->text();
    }
    for (ElidedLabel* l : root->findChildren<ElidedLabel*>()) {
        if (l->isVisibleTo(root)) out << l->text();
    }
    return out;
}

inline bool shows(QWidget* root, const QString& text) {
    return shownTexts(root).contains(text);
}

inline std::vector<QAbstractButton*> shownButtons(QWidget* root, const QString& text) {
    std::vector<QAbstractButton*> out;
    for (QAbstractButton* b : root->findChildren<QAbstractButton*>()) {
        if (b->isVisibleTo(root) && b->text() == text) out.push_back(b);
    }
    return out;
}

class TasksTest : public testing::Test {
protected:
    void SetUp() override {
        session = std::make_unique<AppSession>(std::make_shared<platform::NoDesktop>());
    }

    std::string work() const { return home.home() + "/work"; }

    // Scans `root` and waits until the analyses are published.
    void scan(const std::string& root) { scanAndWait(*session, root); }
    // A file of `size` bytes in work(), its contents seeded by its name.
    std::string file(const std::string& name, std::int64_t size = 10'000) {
        const std::string p = work() + "/" + name;
        putSized(p, size, unsigned(name.size()));
        return p;
    }

    TempHome home;
    std::unique_ptr<AppSession> session;
};

} // namespace tb::test
