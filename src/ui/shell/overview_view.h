// The landing page: where the storage stands, what is largest, what can go
// and what changed since the last comparable scan.
#pragma once

#include <QWidget>

class QLabel;
class QVBoxLayout;
class QPushButton;

namespace tb {

class AppSession;
struct ScanContext;

class OverviewView : public QWidget {
    Q_OBJECT
public:
    explicit OverviewView(AppSession& session, QWidget* parent = nullptr);

private:
    void refresh();
    void rebuildBody();
    QWidget* movedLine();
    QWidget* emptyState();
    QWidget* metricCards();
    QWidget* leftOutCard(const ScanContext& context);
    QWidget* section(const QString& title, const QString& action, int tab, QWidget* body);
    QWidget* contributors();
    QWidget* worthReviewing();
    QWidget* sinceLastScan();

    AppSession& session_;
    QLabel* title_;
    QLabel* subtitle_;
    QVBoxLayout* body_;
    bool refreshQueued_ = false;
};

} // namespace tb
