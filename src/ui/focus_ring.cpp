#include "ui/focus_ring.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QPainter>

#include "ui/disk_theme.h"

namespace tb {
namespace {

constexpr int kWidth = 2;
constexpr int kGap = 1; // between the widget's edge and the ring

} // namespace

FocusRing::FocusRing(QWidget* window) : QWidget(window) {
    setObjectName(QStringLiteral("focusRing"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    hide();
    // The reason of a focus change is only in the focus event, so the ring
    // watches the events of every widget of the window.
    qApp->installEventFilter(this);
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::FocusIn: {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget != this && widget->window() == parentWidget()) {
            follow(widget, static_cast<QFocusEvent*>(event)->reason());
        }
        break;
    }
    case QEvent::FocusOut:
        if (watched == target_ &&
            static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
            follow(nullptr, Qt::OtherFocusReason);
        break;
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
        // The target's own geometry, or an ancestor's, or the window's.
        if (target_ &&
            (watched == target_ || watched == parentWidget() ||
             (watched->isWidgetType() && static_cast<QWidget*>(watched)->isAncestorOf(target_)))) {
            place();
        }
        break;
    default: break;
    }
    return false;
}

void FocusRing::follow(QWidget* now, Qt::FocusReason reason) {
    const bool byKeyboard = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                            reason == Qt::ShortcutFocusReason;
    disconnect(gone_);
    target_ = (now && byKeyboard) ? now : nullptr;
    if (target_)
        gone_ = connect(target_, &QObject::destroyed, this, [this] { follow(nullptr, {}); });
    place();
}

void FocusRing::place() {
    QWidget* target = target_;
    if (!target || !target->isVisible()) {
        hide();
        return;
    }
    const int margin = kWidth + kGap;
    const QPoint origin = target->mapTo(parentWidget(), QPoint(0, 0));
    setGeometry(QRect(origin, target->size()).adjusted(-margin, -margin, margin, margin));
    raise();
    show();
    update();
}

void FocusRing::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(DiskTheme::accent(), kWidth));
    p.setBrush(Qt::NoBrush);
    const qreal half = kWidth / 2.0;
    p.drawRoundedRect(QRectF(rect()).adjusted(half, half, -half, -half), 4, 4);
}

} // namespace tb
