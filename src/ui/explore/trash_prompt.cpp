#include "ui/explore/trash_prompt.h"

#include <QMessageBox>
#include <QPushButton>

#include "session/app_session.h"
#include "ui/tasks/staging_view.h"

namespace tb::TrashPrompt {

QMessageBox* open(AppSession& session, const std::vector<const ScanNode*>& nodes, QWidget* parent) {
    auto selection = session.staging().select(nodes);
    if (selection.items.empty()) {
        session.staging().trash(selection); // only says why nothing may go
        return nullptr;
    }
    auto* box = new QMessageBox(
        QMessageBox::Warning, QStringLiteral("Move to Trash"),
        StagingView::confirmationText(selection.items.size(), selection.bytes, selection.frees),
        QMessageBox::NoButton, parent);
    box->setInformativeText(QStringLiteral(
        "Each item is checked again just before it moves. Edit \u203a Undo puts it back."));
    box->setAttribute(Qt::WA_DeleteOnClose);
    auto* move = box->addButton(QStringLiteral("Move to Trash"), QMessageBox::DestructiveRole);
    auto* cancel = box->addButton(QMessageBox::Cancel);
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    // The tree may be replaced while the box is open: the selection's nodes
    // are then another forest's, and the move waits for a fresh choice.
    const auto forestAtOpen = session.forest();
    QObject::connect(
        box, &QMessageBox::buttonClicked, box,
        [&session, move, forestAtOpen, selection = std::move(selection)](QAbstractButton* clicked) {
            if (clicked != move || !(session.forest() == forestAtOpen)) return;
            session.staging().trash(selection);
        });
    box->open();
    return box;
}

} // namespace tb::TrashPrompt
