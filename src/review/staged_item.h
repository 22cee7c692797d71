// The review queue's values: an item waiting to be moved to the Trash, with
// the state it had when it was queued, and the receipt of one move attempt.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/date.h"
#include "base/uuid.h"

namespace tb {

struct StagedItem {
    std::string id;  // same as url
    std::string url; // raw-byte path of the item to move
    std::string name;
    std::int64_t bytes = 0; // allocated bytes the move is expected to free
    std::string reason;
    std::uint64_t inode = 0;       // 0: unknown, no identity check
    std::int64_t logicalBytes = 0; // 0 or less: no size check
    Date modified = Date::distantPast();

    bool operator==(const StagedItem&) const = default;
};

struct OperationReceipt {
    Uuid id;
    std::string name;
    std::string originalURL;
    std::optional<std::string> trashedURL; // absent for failures
    std::int64_t bytes = 0;
    bool succeeded = false;
    std::string message;
    Date time = Date::distantPast(); // when the move was tried

    bool operator==(const OperationReceipt&) const = default;
};

} // namespace tb
