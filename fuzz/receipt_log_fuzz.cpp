// Any bytes as the receipts file: loading keeps what parses and skips the rest.
#include "fuzz_target.h"
#include "review/receipt_log.h"
#include "scratch_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file = tb::fuzz::scratchFile("receipts", data, size);
    if (file.empty()) return 0;
    (void)tb::ReceiptLog::load(file);
    return 0;
}
