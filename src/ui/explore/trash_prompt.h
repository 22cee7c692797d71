// "Move to Trash…" on items of the tree, past the review queue: asks with
// the count, the size and what the move frees, then moves them as the queue
// would, with the same checks and receipts. Interface thread only.
#pragma once

#include <vector>

class QMessageBox;
class QWidget;

namespace tb {

class AppSession;
class ScanNode;

namespace TrashPrompt {

// Opens the confirmation for `nodes` of the session's current forest and
// returns it; nothing is asked when none may go (the reason becomes the
// queue's message). Cancel is the default button.
QMessageBox* open(AppSession& session, const std::vector<const ScanNode*>& nodes, QWidget* parent);

} // namespace TrashPrompt
} // namespace tb
