// tarnbeck-bench trash PATH...    moves each path to the Trash through the
//                                 review queue (its admission, recheck and
//                                 Trash choice): one JSON line per path.
// tarnbeck-bench restore TRASHED  puts one trashed item back where its
//                                 .trashinfo says it came from, as Put Back.
#include <iostream>

#include "base/path.h"
#include "bench_command.h"
#include "platform/trash.h"
#include "review/receipt_log.h"
#include "review/staging_store.h"

namespace tb::bench {
namespace {

std::string jsonOrNull(const std::optional<std::string>& s) {
    return s ? jsonString(*s) : std::string("null");
}

// A store as the application makes it, with the user's receipt file.
std::unique_ptr<StagingStore> makeStore() {
    auto store = std::make_unique<StagingStore>();
    if (auto receipts = ReceiptLog::defaultPath()) store->setReceiptFile(*receipts);
    return store;
}

int trash(const std::vector<std::string>& args) {
    if (args.empty()) {
        std::cerr << "usage: tarnbeck-bench trash PATH...\n";
        return 2;
    }
    auto store = makeStore();
    bool failed = false;
    for (const std::string& path : args) {
        std::optional<std::string> trashedTo, error;
        const std::size_t receiptsBefore = store->receipts().size();
        store->stage(path, std::string(Path::displayName(path)), 0);
        if (!store->isStaged(path)) {
            error = store->lastMessage().value_or("Not admitted to the review queue.");
        } else {
            store->trashAll();
            if (store->receipts().size() > receiptsBefore) {
                const OperationReceipt& r = store->receipts().front();
                if (r.succeeded)
                    trashedTo = r.trashedURL;
                else
                    error = r.message;
            } else {
                error = store->lastMessage();
            }
            // A kept item must not be tried again with the next path.
            for (const auto& item : std::vector<StagedItem>(store->items()))
                store->remove(item);
        }
        failed = failed || error.has_value();
        std::cout << "{\"path\":" << jsonString(path) << ",\"trashed_to\":" << jsonOrNull(trashedTo)
                  << ",\"error\":" << jsonOrNull(error) << "}\n";
    }
    return failed ? 1 : 0;
}

int restore(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        std::cerr << "usage: tarnbeck-bench restore TRASHED_PATH\n";
        return 2;
    }
    const std::string& trashed = args[0];
    std::optional<std::string> restoredTo, error;
    if (auto original = platform::originalPathOf(trashed); !original) {
        error = original.error().message;
    } else {
        auto store = makeStore();
        OperationReceipt receipt{Uuid::random(),
                                 std::string(Path::lastComponent(*original)),
                                 *original,
                                 trashed,
                                 0,
                                 true,
                                 "Moved to Trash."};
        for (const auto& r : store->receipts()) {
            if (r.trashedURL == trashed) receipt = r;
        }
        store->restore(receipt);
        const std::string done = "Restored " + receipt.name + ".";
        if (store->lastMessage() == done)
            restoredTo = *original;
        else
            error = store->lastMessage();
    }
    std::cout << "{\"trashed\":" << jsonString(trashed)
              << ",\"restored_to\":" << jsonOrNull(restoredTo) << ",\"error\":" << jsonOrNull(error)
              << "}\n";
    return error ? 1 : 0;
}

const Registration trashCommand("trash", trash);
const Registration restoreCommand("restore", restore);

} // namespace
} // namespace tb::bench
