// A ring drawn around whatever widget of a window took the keyboard focus by
// Tab, Shift+Tab or a shortcut, whether or not the style draws one of its own
// (tool buttons and custom-painted maps draw none). A click hides it: the
// pointer already shows where the user is. Interface thread only.
#pragma once

#include <QWidget>

namespace tb {

class FocusRing : public QWidget {
    Q_OBJECT
public:
    // The ring of `window`, a child of it that follows its focus.
    explicit FocusRing(QWidget* window);

    // The widget the ring is drawn around, if it shows.
    QWidget* target() const { return isVisible() ? target_ : nullptr; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow(QWidget* now, Qt::FocusReason reason);
    void place();

    QWidget* target_ = nullptr;
    QMetaObject::Connection gone_;
};

} // namespace tb
