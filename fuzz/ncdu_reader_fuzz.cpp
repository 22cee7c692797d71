// Any bytes into the export reader; what it accepts must survive a round
// trip through the writer with the same entries.
#include <string>
#include <string_view>

#include "fuzz_target.h"
#include "interchange/ncdu_json.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto first = tb::NcduJson::read(text);
    if (!first) return 0;
    std::string again;
    const bool written = tb::NcduJson::write(*first->tree.root,
                                             [&again](std::string_view piece) {
                                                 again += piece;
                                                 return true;
                                             },
                                             {});
    if (!written) __builtin_trap();
    auto second = tb::NcduJson::read(again);
    if (!second || second->entries != first->entries ||
        second->tree.root->allocatedSize() != first->tree.root->allocatedSize())
        __builtin_trap();
    return 0;
}
