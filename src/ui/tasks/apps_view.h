// The Apps tab: the application bundles of the scan with the storage they
// keep elsewhere, filtered by a query on name or bundle identifier.
#pragma once

#include <QWidget>

#include <vector>

#include "ui/tasks/task_widgets.h"

class QLineEdit;
class QStackedWidget;

namespace tb {

class AppSession;
struct AppFootprint;

class AppsView : public QWidget {
    Q_OBJECT
public:
    explicit AppsView(AppSession& session, QWidget* parent = nullptr);

    QString query() const;
    void setQuery(const QString& query);

    // Whether a footprint passes the query: name or bundle identifier
    // contains it, ignoring case; an empty query passes everything.
    static bool matches(const AppFootprint& app, const QString& query);

private:
    void rebuild();
    void applyQuery();

    AppSession& session_;
    QLineEdit* search_;
    QStackedWidget* pages_;
    RowList* list_;
    QWidget* empty_;
    std::vector<QWidget*> rows_; // parallel to session_.appFootprints()
};

} // namespace tb
