// The ncdu JSON export format (version 1.2), read and written on raw bytes:
//   [1, 2, {metadata}, [root-info, item, [dir-info, item, ...], ...]]
// A folder's own blocks are written as its size; a file's sizes as they are.
// Names are bytes: ncdu writes bytes that are not UTF-8 as they are, and so
// do we; quotes, backslashes and control characters are escaped.
// Functions on values (readFile reads the file it is given); any thread may
// call them.
#pragma once

#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>

#include "base/date.h"
#include "base/result.h"
#include "platform/file_descriptor.h"
#include "scan/hard_links.h"
#include "scan/node_arena.h"
#include "scan/scan_node.h"

namespace tb::NcduJson {

// Told the number of entries read so far, every few thousand, on the
// reading thread; it should return at once.
using Progress = std::function<void(std::int64_t)>;

// Receives the export piece by piece; false stops the writer.
using Sink = std::function<bool(std::string_view)>;

struct WriteOptions {
    std::string progver;
    Date timestamp = Date::now();
    // The files with several names and how the tree counted them. Every name
    // is written with the file's sizes, `hlnkc` and `nlink`, as readers that
    // count such files once expect; the mode goes into the metadata.
    const HardLinks* links = nullptr;
};

// Writes the tree below `root`. A folder's own size is what its stored total
// holds beyond its children (nothing for a fresh scan, whose totals are the
// children's sums). Without `links`, names sharing an inode in the tree are
// marked as links with their sizes as they stand. False when the sink
// refused a piece.
bool write(const ScanNode& root, const Sink& sink, const WriteOptions& options);

struct Imported {
    NodeTree tree;
    std::int64_t entries = 0;             // every file and folder, the root included
    std::int64_t unreadable = 0;          // folders marked read_error
    std::int64_t folderBlocks = 0;        // the folders' own disk usage, part of the totals
    Date timestamp = Date::distantPast(); // metadata "timestamp", when present
    // Entries marked `hlnkc`, to be counted as `hardLinks` says: once, as the
    // tools that write such exports count them, unless the metadata says
    // every name was counted.
    std::vector<LinkedName> links;
    HardLinkMode hardLinks = HardLinkMode::once;
};

// Builds the tree an export describes. Folder totals are the folder's own
// sizes plus its children's, stopping at the largest size rather than
// wrapping. The root is made canonical ("/a/./b//" is "/a/b"); a relative
// root, or one with "..", is refused. A timestamp before 1970 or more than a
// day ahead of the clock counts as absent. Every string, number and skipped
// value is bounded, and so are the bytes the entries' paths will take once
// stored, relative to the bytes read. Errors (domain "Interchange", code 1)
// name the line, column and byte offset where reading stopped.
Result<Imported> read(std::string_view text);

// The same from a file ("-" for standard input), gzip-compressed or plain,
// parsed as it is inflated: memory follows the tree, not the input. Only a
// regular file (or a link to one) is opened. Code 2: the file cannot be
// opened or read, or a compressed stream is damaged or cut short; code 3: a
// stop request ended the reading.
Result<Imported> readFile(const std::string& path, std::stop_token stop = {});

// The same from an open, blocking descriptor (a pipe, say), named
// `shownName` in messages. It is read to its end, or until a stop request;
// a reader blocked on a pipe is woken only by the writer closing it.
Result<Imported> readDescriptor(platform::FileDescriptor fd, const std::string& shownName,
                                std::stop_token stop = {}, const Progress& progress = {});

} // namespace tb::NcduJson
