// The widgets the task views (Clean Up, Apps, Duplicates, Changes, Review
// Queue, Monitor, Settings) are built of: a middle-elided path line, rows and
// a scrolling list of them, the empty state, the header row of actions, the
// sections of a grouped form, and icons drawn from the task glyphs or the
// desktop theme. Interface thread only.
#pragma once

#include <QFrame>
#include <QScrollArea>
#include <QWidget>

#include <optional>
#include <string>
#include <string_view>

class QBoxLayout;
class QHBoxLayout;
class QLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace tb {

// One line of text shortened in the middle when it does not fit; the whole
// text stays available as text() and as the tool tip. Paths get this.
class ElidedLabel : public QWidget {
    Q_OBJECT
public:
    explicit ElidedLabel(const QString& text, const QFont& font, QWidget* parent = nullptr);

    const QString& text() const { return text_; }
    void setText(const QString& text);
    // The colour the text is drawn in; the palette's secondary text by default.
    QColor color() const { return color_; }
    void setColor(const QColor& color);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    QColor color_;
};

// A row of a task list: a hairline under it and the list's padding.
class TaskRow : public QFrame {
    Q_OBJECT
public:
    explicit TaskRow(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A vertical list of rows in a scroll area. Rows are plain widgets; the list
// is rebuilt as a whole when its source changes.
class RowList : public QScrollArea {
    Q_OBJECT
public:
    explicit RowList(QWidget* parent = nullptr);

    void clear();
    void addRow(QWidget* row);
    QVBoxLayout* content() const { return layout_; }

private:
    QWidget* body_;
    QVBoxLayout* layout_;
};

// The icon, title and text a view shows when it has nothing to list, with
// room for buttons below.
class EmptyState : public QWidget {
    Q_OBJECT
public:
    EmptyState(std::string_view symbol, const QString& title, const QString& text,
               QWidget* parent = nullptr);

    void addButton(QPushButton* button);

private:
    QHBoxLayout* buttons_;
};

// A titled group of a grouped form: label/value rows or whole lines.
class FormSection : public QWidget {
    Q_OBJECT
public:
    explicit FormSection(const QString& title, QWidget* parent = nullptr);

    void clearRows();
    void addRow(const QString& label, const QString& value);
    void addLine(const QString& text);
    void addWidget(QWidget* widget);

private:
    QVBoxLayout* rows_;
};

namespace TaskWidgets {

// A list row: an icon at the leading edge, a column of texts, and whatever
// goes at the trailing end.
struct RowParts {
    TaskRow* row;
    QVBoxLayout* texts;
    QHBoxLayout* trailing;
};
RowParts iconRow(QLabel* image);

QLabel* label(const QString& text, const QFont& font, bool secondary = false);
QLabel* wrappingLabel(const QString& text, const QFont& font, bool secondary = false);
// A square icon of the given size; tinted when a colour is given.
QLabel* icon(std::string_view symbol, int size, std::optional<QColor> tint = std::nullopt);
QPixmap pixmap(std::string_view symbol, int size, std::optional<QColor> tint = std::nullopt);
QPushButton* button(const QString& text, std::string_view symbol = {});
QPushButton* smallButton(const QString& text, std::string_view symbol = {});
// One button on a row of its own, at the leading end, for a form section.
QWidget* buttonRow(QPushButton* button);
// A list's section title with an optional line under it.
QWidget* sectionHeading(const QString& title, const QString& detail = {});
// The row of actions at the top of a view; returns the layout the buttons go
// in after a stretch, so they sit at the trailing end.
QHBoxLayout* headerBar(QBoxLayout* into);
// A path (raw bytes) in the caption-2 font, shortened in the middle.
ElidedLabel* path(std::string_view rawPath);
// Takes every item out of `layout`; widgets are deleted once the current
// event (a click of one of them, say) has returned.
void clearLayout(QLayout* layout);
// "+1.5 KB" for growth or no change, "-1.5 KB" for space freed.
QString signedBytes(std::int64_t delta);

} // namespace TaskWidgets

} // namespace tb
