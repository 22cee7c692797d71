// Any bytes as a scan file: every way the store reads one must end with a
// value or nothing, never a crash.
#include "fuzz_target.h"
#include "scratch_file.h"
#include "store/scan_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file = tb::fuzz::scratchFile("scan.sqlite", data, size);
    if (file.empty()) return 0;
    const auto record = tb::ScanStore::record(file);
    if (!record) return 0;
    (void)tb::ScanStore::load(*record);
    std::size_t rows = 0;
    (void)tb::ScanStore::visitRows(*record, [&rows](const tb::NodeFields&) { ++rows; });
    (void)tb::ScanStore::search(*record, "a", 8);
    (void)tb::ScanStore::reopen(*record);
    return 0;
}
