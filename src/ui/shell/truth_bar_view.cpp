#include "ui/shell/truth_bar_view.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QToolTip>

#include "base/byte_format.h"
#include "session/app_session.h"
#include "ui/disk_theme.h"

namespace tb {
namespace {

QColor sliceColour(TruthSliceID id) {
    switch (id) {
    case TruthSliceID::scanned: return DiskTheme::accent();
    case TruthSliceID::system: return DiskTheme::primary(0.45);
    case TruthSliceID::purgeable: return DiskTheme::primary(0.22);
    case TruthSliceID::free: return DiskTheme::primary(0.08);
    case TruthSliceID::reserved: return DiskTheme::primary(0.32);
    }
    return DiskTheme::primary(0.1);
}

// What a slice stands for, where its label alone does not say.
QString sliceExplanation(const TruthSlice& s) {
    switch (s.id) {
    case TruthSliceID::reserved:
        return QStringLiteral(" — blocks the file system keeps for the administrator");
    case TruthSliceID::purgeable:
        if (s.label == VolumeAccounting::trashLabel) {
            return QStringLiteral(" — in your Trash on this volume; emptying it frees this");
        }
        return {};
    default: return {};
    }
}

} // namespace

TruthBar::TruthBar(AppSession& session, QWidget* parent) : QWidget(parent), session_(session) {
    setFixedHeight(8);
    setMinimumWidth(120);
    connect(&session_.pulse(), &ScanPulse::changed, this, qOverload<>(&QWidget::update));
}

std::vector<double> TruthBar::segmentWidths(double width) const {
    std::vector<double> out;
    const auto& truth = session_.pulse().truth();
    if (!truth) return out;
    for (const auto& s : truth->slices) {
        const double share = ByteFormat::percent(double(s.bytes), double(truth->capacity)) / 100.0;
        out.push_back(std::max(0.0, width * share));
    }
    return out;
}

void TruthBar::paintEvent(QPaintEvent*) {
    const auto& truth = session_.pulse().truth();
    if (!truth) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(rect()), 4, 4);
    p.setClipPath(clip);
    p.fillRect(rect(), DiskTheme::primary(0.04));
    double x = 0;
    const auto widths = segmentWidths(width());
    for (std::size_t i = 0; i < widths.size(); ++i) {
        p.fillRect(QRectF(x, 0, widths[i], height()), sliceColour(truth->slices[i].id));
        x += widths[i];
    }
}

bool TruthBar::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        const auto& truth = session_.pulse().truth();
        auto* help = static_cast<QHelpEvent*>(e);
        if (truth) {
            double x = 0;
            const auto widths = segmentWidths(width());
            for (std::size_t i = 0; i < widths.size(); ++i) {
                if (help->pos().x() >= x && help->pos().x() < x + widths[i]) {
                    const auto& s = truth->slices[i];
                    QToolTip::showText(help->globalPos(),
                                       QString::fromStdString(s.label) + QStringLiteral(": ") +
                                           DiskTheme::bytes(s.bytes) + sliceExplanation(s));
                    return true;
                }
                x += widths[i];
            }
        }
        QToolTip::hideText();
        e->ignore();
        return true;
    }
    return QWidget::event(e);
}

TruthBarView::TruthBarView(AppSession& session, QWidget* parent)
    : QWidget(parent), session_(session) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 4, 12, 6);
    layout->setSpacing(10);
    volumeName_ = new QLabel;
    volumeName_->setFont(DiskTheme::sized(9, QFont::Medium));
    scope_ = new QLabel;
    scope_->setFont(DiskTheme::sized(8));
    DiskTheme::makeSecondary(scope_);
    scope_->setMaximumWidth(320);
    bar_ = new TruthBar(session);
    legend_ = new QLabel;
    legend_->setFont(DiskTheme::sized(8));
    legend_->setTextFormat(Qt::RichText);

    warning_ = new QWidget;
    auto* w = new QHBoxLayout(warning_);
    w->setContentsMargins(0, 0, 0, 0);
    auto* icon = new QLabel;
    icon->setPixmap(DiskTheme::icon("exclamationmark.triangle").pixmap(14, 14));
    warningText_ = new QLabel;
    warningText_->setFont(DiskTheme::sized(9));
    auto* open = new QPushButton(QStringLiteral("Show Folders\u2026"));
    open->setObjectName(QStringLiteral("showUnreadable"));
    open->setAccessibleDescription(QStringLiteral("List the folders the scan could not read"));
    connect(open, &QPushButton::clicked, this, &TruthBarView::showUnreadable);
    w->addWidget(icon);
    w->addWidget(warningText_);
    w->addWidget(open);

    layout->addWidget(volumeName_);
    layout->addWidget(scope_);
    layout->addWidget(bar_, 1);
    layout->addWidget(legend_);
    layout->addWidget(warning_);

    connect(&session_.pulse(), &ScanPulse::changed, this, &TruthBarView::refresh);
    connect(&session_, &AppSession::changed, this, [this](SessionField f) {
        if (f == SessionField::volume || f == SessionField::forest) refresh();
    });
    refresh();
}

void TruthBarView::refresh() {
    volumeName_->setText(session_.volume() ? DiskTheme::displayText(session_.volume()->name)
                                           : QStringLiteral("Volume"));
    const auto& truth = session_.pulse().truth();
    const bool folderScope = truth && !truth->isFullVolumeScope;
    scope_->setVisible(folderScope);
    if (folderScope) {
        const QString label =
            QStringLiteral("Analysis: ") + DiskTheme::displayText(truth->scopeLabel);
        scope_->setText(scope_->fontMetrics().elidedText(label, Qt::ElideMiddle, 320));
        scope_->setToolTip(label);
    }
    bar_->setVisible(bool(truth));
    legend_->setVisible(bool(truth));
    if (truth) {
        QStringList parts;
        for (const auto& s : truth->slices) {
            parts << QStringLiteral("<span style='font-size:8pt'>%1</span> <b>%2</b>")
                         .arg(QString::fromStdString(s.label).toHtmlEscaped(),
                              DiskTheme::bytes(s.bytes));
        }
        legend_->setText(parts.join(QStringLiteral("&nbsp;&nbsp; ")));
    }
    const std::int64_t unreadable = session_.unreadable();
    warning_->setVisible(unreadable > 0);
    if (unreadable > 0) {
        warningText_->setText(unreadableSummary(unreadable));
        warning_->setAccessibleName(warningText_->text());
    }
    bar_->update();
}

QString TruthBarView::unreadableSummary(std::int64_t count) {
    return count == 1 ? QStringLiteral("1 folder could not be read; its size is missing.")
                      : QStringLiteral("%1 folders could not be read; their sizes are missing.")
                            .arg(QLocale().toString(qlonglong(count)));
}

QString TruthBarView::unreadableDetails(std::int64_t count,
                                        const std::vector<UnreadableFolder>& listed) {
    QStringList lines;
    for (const auto& f : listed) {
        lines << DiskTheme::displayText(f.path) + QStringLiteral(": ") +
                     DiskTheme::displayText(f.reason);
    }
    const std::int64_t rest = count - std::int64_t(listed.size());
    if (rest > 0) lines << QStringLiteral("and %1 more").arg(QLocale().toString(qlonglong(rest)));
    return lines.join(QLatin1Char('\n'));
}

void TruthBarView::showUnreadable() {
    const auto& forest = session_.forest();
    if (!forest) return;
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("Folders Not Read"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* intro = new QLabel(unreadableSummary(forest->unreadable()) +
                             QStringLiteral(" Scanning as a user who may read them counts them."));
    intro->setWordWrap(true);
    auto* list = new QPlainTextEdit(
        unreadableDetails(forest->unreadable(), unreadableFolders(*forest, listedUnreadable)));
    list->setReadOnly(true);
    list->setAccessibleName(QStringLiteral("Folders not read"));
    list->setMinimumSize(560, 220);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(intro);
    layout->addWidget(list);
    layout->addWidget(buttons);
    dialog.exec();
}

} // namespace tb
