// The right-hand column: what the selected node is, its sizes and date, what
// staging it would do, and the actions on it. Holds no state of its own.
#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>

class QLabel;
class QPushButton;
class QStackedLayout;

namespace tb {

class AppSession;

class InspectorView : public QWidget {
    Q_OBJECT
public:
    explicit InspectorView(AppSession& session, QWidget* parent = nullptr);

    QPushButton* stageButton() const { return stage_; }

    // "3 names (hard links), 2 outside this folder".
    static QString namesText(std::uint32_t names, std::uint32_t outsideFolder);

private:
    void refresh();

    AppSession& session_;
    QStackedLayout* stack_;
    QLabel* name_;
    QLabel* path_;
    QLabel* logical_;
    QLabel* allocated_;
    QLabel* modified_;
    QLabel* modifiedLabel_;
    QLabel* why_;
    QLabel* sizes_;
    QLabel* links_;
    QLabel* frees_;
    QLabel* unreadable_;
    QPushButton* stage_;
};

} // namespace tb
