#include "ui/tasks/task_widgets.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <limits>

#include "ui/disk_theme.h"
#include "ui/tasks/task_glyphs.h"

namespace tb {

namespace {

// A list is rebuilt from inside the click of one of its own buttons (a
// "Remove" that empties the queue), so the old rows are detached at once and
// deleted only after the click has returned.
void discard(QLayoutItem* item) {
    if (QLayout* inner = item->layout()) {
        while (QLayoutItem* child = inner->takeAt(0))
            discard(child);
    }
    if (QWidget* w = item->widget()) {
        w->hide();
        w->setParent(nullptr);
        w->deleteLater();
    }
    delete item;
}

} // namespace

// --- ElidedLabel --------------------------------------------------------------

ElidedLabel::ElidedLabel(const QString& text, const QFont& font, QWidget* parent)
    : QWidget(parent), text_(text), color_(DiskTheme::secondary()) {
    setFont(font);
    setToolTip(text);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ElidedLabel::setText(const QString& text) {
    text_ = text;
    setToolTip(text);
    updateGeometry();
    update();
}

void ElidedLabel::setColor(const QColor& color) {
    color_ = color;
    update();
}

QSize ElidedLabel::sizeHint() const {
    const QFontMetrics fm(font());
    // Room below the descent for an underscore, which small fonts draw there.
    return {fm.horizontalAdvance(text_), fm.height() + 2};
}

QSize ElidedLabel::minimumSizeHint() const {
    const QFontMetrics fm(font());
    return {std::min(fm.horizontalAdvance(text_), fm.averageCharWidth() * 8), fm.height() + 2};
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(color_);
    const QString shown = fontMetrics().elidedText(text_, Qt::ElideMiddle, width());
    p.drawText(rect(), Qt::AlignLeft | Qt::AlignTop, shown);
}

// --- TaskRow --------------------------------------------------------------------

TaskRow::TaskRow(QWidget* parent) : QFrame(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void TaskRow::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter p(this);
    p.setPen(DiskTheme::primary(0.10));
    p.drawLine(0, height() - 1, width(), height() - 1);
}

// --- RowList --------------------------------------------------------------------

RowList::RowList(QWidget* parent) : QScrollArea(parent), body_(new QWidget) {
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The rows' own controls take the focus, and the list scrolls to them;
    // a stop on the list itself would show nothing.
    setFocusPolicy(Qt::NoFocus);
    layout_ = new QVBoxLayout(body_);
    layout_->setContentsMargins(16, 4, 16, 16);
    layout_->setSpacing(0);
    layout_->addStretch(1);
    setWidget(body_);
}

void RowList::clear() {
    // Everything but the closing stretch.
    while (layout_->count() > 1)
        discard(layout_->takeAt(0));
}

void RowList::addRow(QWidget* row) {
    layout_->insertWidget(layout_->count() - 1, row);
}

// --- EmptyState -----------------------------------------------------------------

EmptyState::EmptyState(std::string_view symbol, const QString& title, const QString& text,
                       QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    auto* image = TaskWidgets::icon(symbol, 40, DiskTheme::secondary());
    layout->addWidget(image, 0, Qt::AlignHCenter);
    layout->addSpacing(8);
    QFont headingFont = DiskTheme::title3();
    headingFont.setWeight(QFont::DemiBold);
    auto* heading = TaskWidgets::label(title, headingFont);
    layout->addWidget(heading, 0, Qt::AlignHCenter);
    // A wrapping label given an alignment shrinks to one short line; it
    // gets a band of its own between stretches instead.
    auto* detail = TaskWidgets::wrappingLabel(text, DiskTheme::body(), true);
    detail->setAlignment(Qt::AlignHCenter);
    detail->setMaximumWidth(420);
    detail->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* band = new QHBoxLayout;
    band->addStretch(0);
    band->addWidget(detail, 1);
    band->addStretch(0);
    layout->addLayout(band);
    buttons_ = new QHBoxLayout;
    buttons_->setSpacing(8);
    layout->addSpacing(6);
    layout->addLayout(buttons_);
    layout->setAlignment(buttons_, Qt::AlignHCenter);
    layout->addStretch(1);
}

void EmptyState::addButton(QPushButton* button) {
    buttons_->addWidget(button);
}

// --- FormSection ----------------------------------------------------------------

FormSection::FormSection(const QString& title, QWidget* parent) : QWidget(parent) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(6);
    auto* heading = TaskWidgets::label(title, DiskTheme::headline(), true);
    heading->setContentsMargins(10, 0, 0, 0);
    outer->addWidget(heading);
    auto* card = new QFrame;
    card->setObjectName(QStringLiteral("formCard"));
    card->setStyleSheet(QStringLiteral("#formCard { background: %1; border: 1px solid %2;"
                                       " border-radius: 8px; }")
                            .arg(DiskTheme::primary(0.04).name(QColor::HexArgb),
                                 DiskTheme::primary(0.12).name(QColor::HexArgb)));
    rows_ = new QVBoxLayout(card);
    rows_->setContentsMargins(12, 8, 12, 8);
    rows_->setSpacing(0);
    outer->addWidget(card);
}

void FormSection::clearRows() {
    TaskWidgets::clearLayout(rows_);
}

void FormSection::addRow(const QString& label, const QString& value) {
    auto* row = new TaskRow;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 6, 0, 6);
    layout->addWidget(TaskWidgets::label(label, DiskTheme::body()));
    layout->addStretch(1);
    auto* shown = TaskWidgets::label(value, DiskTheme::body(), true);
    shown->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(shown);
    rows_->addWidget(row);
}

void FormSection::addLine(const QString& text) {
    auto* line = TaskWidgets::wrappingLabel(text, DiskTheme::body());
    line->setContentsMargins(0, 6, 0, 6);
    rows_->addWidget(line);
}

void FormSection::addWidget(QWidget* widget) {
    rows_->addWidget(widget);
}

// --- TaskWidgets ----------------------------------------------------------------

namespace TaskWidgets {

RowParts iconRow(QLabel* image) {
    auto* row = new TaskRow;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 8, 0, 8);
    layout->setSpacing(12);
    layout->addWidget(image, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    layout->addLayout(texts, 1);
    auto* trailing = new QHBoxLayout;
    trailing->setSpacing(10);
    layout->addLayout(trailing);
    return {row, texts, trailing};
}

QLabel* label(const QString& text, const QFont& font, bool secondary) {
    auto* l = new QLabel(text);
    l->setFont(font);
    l->setTextFormat(Qt::PlainText);
    if (secondary) DiskTheme::makeSecondary(l);
    return l;
}

QLabel* wrappingLabel(const QString& text, const QFont& font, bool secondary) {
    QLabel* l = label(text, font, secondary);
    l->setWordWrap(true);
    return l;
}

QPixmap pixmap(std::string_view symbol, int size, std::optional<QColor> tint) {
    const qreal ratio = qApp->devicePixelRatio();
    if (TaskGlyphs::has(symbol)) {
        QPixmap drawn(QSize(size, size) * ratio);
        drawn.setDevicePixelRatio(ratio);
        drawn.fill(Qt::transparent);
        QPainter p(&drawn);
        TaskGlyphs::draw(p, symbol, QRectF(0, 0, size, size), tint.value_or(DiskTheme::primary()));
        return drawn;
    }
    QPixmap pm = DiskTheme::icon(symbol).pixmap(QSize(size, size), ratio);
    if (pm.isNull()) {
        pm = QPixmap(QSize(size, size) * ratio);
        pm.setDevicePixelRatio(ratio);
        pm.fill(Qt::transparent);
    }
    if (tint) {
        QPainter p(&pm);
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(QRect(QPoint(0, 0), pm.size()), *tint);
    }
    return pm;
}

QLabel* icon(std::string_view symbol, int size, std::optional<QColor> tint) {
    auto* l = new QLabel;
    l->setPixmap(pixmap(symbol, size, tint));
    l->setFixedSize(size, size);
    if (tint) l->setProperty("tint", *tint);
    l->setProperty("symbol", DiskTheme::text(symbol));
    return l;
}

QPushButton* button(const QString& text, std::string_view symbol) {
    auto* b = new QPushButton(text);
    if (!symbol.empty()) b->setIcon(DiskTheme::icon(symbol));
    return b;
}

QWidget* buttonRow(QPushButton* button) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 4, 0, 6);
    layout->addWidget(button);
    layout->addStretch(1);
    return row;
}

QPushButton* smallButton(const QString& text, std::string_view symbol) {
    QPushButton* b = button(text, symbol);
    QFont f = b->font();
    f.setPixelSize(11);
    b->setFont(f);
    b->setIconSize(QSize(12, 12));
    b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return b;
}

QWidget* sectionHeading(const QString& title, const QString& detail) {
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 18, 0, 4);
    layout->setSpacing(2);
    layout->addWidget(label(title, DiskTheme::title3()));
    if (!detail.isEmpty()) layout->addWidget(wrappingLabel(detail, DiskTheme::captionFont(), true));
    return box;
}

QHBoxLayout* headerBar(QBoxLayout* into) {
    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(16, 10, 16, 6);
    bar->setSpacing(8);
    bar->addStretch(1);
    into->addLayout(bar);
    return bar;
}

ElidedLabel* path(std::string_view rawPath) {
    return new ElidedLabel(DiskTheme::displayText(rawPath), DiskTheme::caption2());
}

void clearLayout(QLayout* layout) {
    while (QLayoutItem* item = layout->takeAt(0))
        discard(item);
}

QString signedBytes(std::int64_t delta) {
    if (delta >= 0) return QStringLiteral("+") + DiskTheme::bytes(delta);
    const std::int64_t magnitude = delta == std::numeric_limits<std::int64_t>::min()
                                       ? std::numeric_limits<std::int64_t>::max()
                                       : -delta;
    return QStringLiteral("-") + DiskTheme::bytes(magnitude);
}

} // namespace TaskWidgets

} // namespace tb
