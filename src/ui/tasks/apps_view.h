// The Apps tab: the installed applications with the storage they keep
// elsewhere, filtered by a query on name or identifier, and below them the
// data left behind by apps that are gone, each one queueable.
#pragma once

#include <QWidget>

#include <vector>

#include "ui/tasks/queue_buttons.h"
#include "ui/tasks/task_widgets.h"

class QLineEdit;
class QStackedWidget;

namespace tb {

class AppSession;
struct AppFootprint;
struct Leftover;

class AppsView : public QWidget {
    Q_OBJECT
public:
    explicit AppsView(AppSession& session, QWidget* parent = nullptr);

    QString query() const;
    void setQuery(const QString& query);

    // Whether a footprint passes the query: name or bundle identifier
    // contains it, ignoring case; an empty query passes everything.
    static bool matches(const AppFootprint& app, const QString& query);
    static bool matches(const Leftover& leftover, const QString& query);

private:
    void rebuild();
    void applyQuery();

    AppSession& session_;
    QLineEdit* search_;
    QStackedWidget* pages_;
    RowList* list_;
    QWidget* empty_;
    std::vector<QWidget*> rows_;     // parallel to session_.appFootprints()
    QWidget* leftHeading_ = nullptr; // over the rows left behind
    std::vector<QWidget*> leftRows_; // parallel to session_.leftBehind()
    QueueButtons queueButtons_;
};

} // namespace tb
