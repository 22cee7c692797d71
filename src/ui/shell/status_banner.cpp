#include "ui/shell/status_banner.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

#include "session/app_session.h"
#include "ui/disk_theme.h"

namespace tb {

StatusBanner::StatusBanner(AppSession& session, QWidget* parent)
    : QFrame(parent), text_(new QLabel), dismiss_(new QToolButton) {
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, DiskTheme::accent(0.12));
    setPalette(p);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 6, 6, 6);
    auto* icon = new QLabel;
    icon->setPixmap(DiskTheme::icon("info.circle").pixmap(16, 16));
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text_->setAccessibleName(QStringLiteral("Status"));
    dismiss_->setIcon(DiskTheme::icon("xmark.circle"));
    dismiss_->setText(QStringLiteral("Dismiss"));
    dismiss_->setToolTip(QStringLiteral("Dismiss this message"));
    dismiss_->setAutoRaise(true);
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addWidget(text_, 1);
    row->addWidget(dismiss_, 0, Qt::AlignTop);
    connect(dismiss_, &QToolButton::clicked, this, &QWidget::hide);

    // Every assignment counts, even of the same text: the user acted again.
    connect(&session, &AppSession::changed, this, [this, &session](SessionField field) {
        if (field == SessionField::statusMessage) show(session.statusMessage());
    });
    connect(&session.staging(), &StagingStore::lastMessageChanged, this,
            [this, &session] { show(session.staging().lastMessage()); });
    setVisible(false);
    if (session.statusMessage()) show(session.statusMessage());
}

QString StatusBanner::text() const {
    return isHidden() ? QString() : text_->text();
}

void StatusBanner::show(const std::optional<std::string>& message) {
    if (!message || message->empty()) {
        setVisible(false);
        return;
    }
    text_->setText(DiskTheme::displayText(*message));
    setVisible(true);
}

} // namespace tb
