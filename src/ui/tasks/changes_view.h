// The Changes tab: what grew, shrank, appeared or disappeared since the last
// comparable scan, largest change first; the changes under the thresholds
// are counted below the list and shown on request.
#pragma once

#include <QWidget>

#include "store/scan_comparison.h"
#include "ui/tasks/task_widgets.h"

class QComboBox;
class QPushButton;
class QStackedWidget;

namespace tb {

class AppSession;

class ChangesView : public QWidget {
    Q_OBJECT
public:
    explicit ChangesView(AppSession& session, QWidget* parent = nullptr);

    // "3 smaller changes not listed", or what the shown ones are.
    static QString smallerSummary(const ChangeList& list, bool shown);
    // Shows or hides the smaller changes; none while there are none.
    QPushButton* showSmallerButton() const { return showSmallerButton_; }
    RowList* list() const { return list_; }
    // The other scans of the same folder, the one compared with current.
    QComboBox* comparedWithBox() const { return comparedWith_; }

private:
    static QWidget* note(const QString& text, QPushButton* action = nullptr);
    void rebuild();
    void refreshChoices();

    AppSession& session_;
    QWidget* chooser_;
    QComboBox* comparedWith_;
    std::vector<ScanRecord> choices_;
    QStackedWidget* pages_;
    RowList* list_;
    QWidget* empty_;
    QWidget* notCompared_ = nullptr; // when the session says why there is no list
    QWidget* unchanged_;
    QPushButton* showSmallerButton_ = nullptr;
    bool showSmaller_ = false;
};

} // namespace tb
