// The receipts of this user's moves to the Trash, kept between launches so
// that Put Back still works after a restart: one small file in the data
// folder, private to the user, replaced whole on every change. Several
// instances may share it: each change holds a lock beside the file from its
// read to its rename. Any thread; the store calls it on the interface thread.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "review/staged_item.h"

namespace tb::ReceiptLog {

// $XDG_DATA_HOME/Tarnbeck/receipts; nothing without a data folder.
std::optional<std::string> defaultPath();

// The successful receipts in the file whose item still lies in the Trash as
// the move left it. A missing, damaged or oversized file gives none; a
// damaged line is skipped. Takes no lock: the file is only ever replaced.
std::vector<OperationReceipt> load(const std::string& path);

// What the file holds, as load reads it, is handed to `change`, and what
// `change` returns is written (its successful receipts only; the rest mean
// nothing after a restart) to a new 0600 file renamed over `path`, all
// under an exclusive lock on `path`.lock; the folder is created 0700. A
// reader sees the old file or the new one, never half. Fails without
// calling `change` when the lock is not had within a few seconds or the
// file cannot be read, so that nothing another instance wrote is lost.
using Change = std::function<std::vector<OperationReceipt>(std::vector<OperationReceipt> onDisk)>;
Status update(const std::string& path, const Change& change);

} // namespace tb::ReceiptLog
