// The window's status line: the last message of the session or of the
// review queue (a dropped file, a cancelled scan, a refusal, the outcome of
// a move), shown until a newer one replaces it or the user dismisses it.
// Interface thread only.
#pragma once

#include <QFrame>

class QLabel;
class QToolButton;

namespace tb {

class AppSession;

class StatusBanner : public QFrame {
    Q_OBJECT
public:
    explicit StatusBanner(AppSession& session, QWidget* parent = nullptr);

    QString text() const;
    QToolButton* dismissButton() const { return dismiss_; }

private:
    void show(const std::optional<std::string>& message);

    QLabel* text_;
    QToolButton* dismiss_;
};

} // namespace tb
