// Scan files made outside the window: saving a forest so that no half-written
// file is ever visible, importing an ncdu-format export into a stored scan,
// and exporting a stored scan in that format. Any thread; no shared state.
#pragma once

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>

#include "base/result.h"
#include "interchange/ncdu_json.h"
#include "scan/scan_forest.h"
#include "store/scan_record.h"

namespace tb::ScanFiles {

// The forest as a scan file's bytes, handed to `sink` in pieces. The file is
// staged in a private folder of the temporary folder and removed afterwards.
Status streamScan(const ScanForest& forest, const std::string& root, const NcduJson::Sink& sink);

// Writes the forest into a hidden folder next to its destination, then
// renames the finished file into place: `file` when given, else a new
// "<UUID>.sqlite" in `storeDirectory`. A failure, or a stop request, leaves
// nothing behind, and an existing `file` that is not a regular file or a link is
// left alone; the folder of a killed save is locked no more, which lets
// the history listing remove it.
Result<ScanRecord> saveAtomically(const ScanForest& forest, const std::string& root,
                                  const std::string& storeDirectory,
                                  const std::optional<std::string>& file = {},
                                  std::stop_token stop = {});

struct ImportSummary {
    ScanRecord record;
    std::int64_t entries = 0;
    std::int64_t folderBlocks = 0; // included in the totals, unlike in our own scans
};

// Reads an export (plain or gzip, "-" for standard input) and stores it as a
// scan in `storeDirectory`. A malformed or truncated export, one that would
// take far more room stored than it does as input, and a stop request store
// nothing.
Result<ImportSummary> importExport(const std::string& exportFile, const std::string& storeDirectory,
                                   std::stop_token stop = {});

// Stores what an export described, as importExport does; a non-empty
// `host` marks the scan as one of that machine.
Result<ImportSummary> storeImported(NcduJson::Imported imported, const std::string& storeDirectory,
                                    const std::string& host = {}, std::stop_token stop = {});

// The scan in a stored scan file as an export.
Status exportScan(const std::string& scanFile, const NcduJson::Sink& sink,
                  const std::string& progver);

} // namespace tb::ScanFiles
