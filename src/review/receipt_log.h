// The receipts of this user's moves to the Trash, kept between launches so
// that Put Back still works after a restart: one small file in the data
// folder, private to the user, replaced whole on every change. Any thread;
// the store calls it on the interface thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "review/staged_item.h"

namespace tb::ReceiptLog {

// $XDG_DATA_HOME/Tarnbeck/receipts; nothing without a data folder.
std::optional<std::string> defaultPath();

// The successful receipts in the file whose item still lies in the Trash as
// the move left it. A missing or damaged file gives none; a damaged line is
// skipped.
std::vector<OperationReceipt> load(const std::string& path);

// Writes the successful receipts (the rest mean nothing after a restart) to
// a temporary file of mode 0600 and renames it over `path`, creating the
// folder 0700; a reader sees the old file or the new one, never half.
Status save(const std::string& path, const std::vector<OperationReceipt>& receipts);

} // namespace tb::ReceiptLog
