// The Review Queue tab: what is queued, the suggested quick wins, the move to
// the Trash and the receipts of earlier moves with their way back. Queue and
// receipt rows are kept across updates and only added or dropped, so that a
// long queue stays quick to edit.
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <cstddef>
#include <utility>
#include <vector>

#include "review/staged_item.h"
#include "ui/tasks/task_widgets.h"

class QVBoxLayout;

namespace tb {

class AppSession;
struct CleanupCandidate;
struct QuickWin;

// Rows of a list whose values come and go but never change in place: a row
// is kept as long as an equal value is still listed.
template <typename Value>
class KeptRows {
public:
    explicit KeptRows(QVBoxLayout* layout) : layout_(layout) {}

    template <typename MakeRow>
    void update(const std::vector<Value>& values, MakeRow makeRow);
    std::size_t size() const { return rows_.size(); }

private:
    QVBoxLayout* layout_;
    std::vector<std::pair<Value, QWidget*>> rows_;
};

class StagingView : public QWidget {
    Q_OBJECT
public:
    explicit StagingView(AppSession& session, QWidget* parent = nullptr);

    // "1 item selected", "2 items selected".
    static QString selectedText(std::size_t count);
    // How a quick win enters the queue.
    static CleanupCandidate candidate(const QuickWin& win);
    // "Move 2 items (15.0 KB) to the Trash? Frees about 15.0 KB."
    static QString confirmationText(std::size_t count, std::int64_t bytes, std::int64_t frees);
    // The open "Move to Trash" confirmation, if any.
    QMessageBox* confirmation() const { return confirmation_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void confirmTrash();
    void refresh();
    QWidget* introBlock();
    QWidget* emptyQueueBlock();
    void refreshSummary();
    void refreshSuggestions();
    QWidget* itemRow(const StagedItem& item);
    QWidget* receiptRow(const OperationReceipt& receipt);

    AppSession& session_;
    RowList* list_;
    QVBoxLayout* summary_;
    QWidget* emptyQueue_;
    QVBoxLayout* suggestions_;
    KeptRows<StagedItem> items_;
    KeptRows<OperationReceipt> receipts_;
    bool refreshPending_ = false;
    QPointer<QMessageBox> confirmation_;
};

} // namespace tb
