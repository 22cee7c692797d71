// Turns one directory into a DirectoryListing: the bulk path first, and a
// second, independent path whenever it fails. Reentrant; no shared state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/result.h"
#include "platform/directory_reader.h"
#include "scan/raw_entry.h"

namespace tb {

using platform::VolumeIdentity;

namespace VolumeID {
// The volume a scan root lies on (links followed); invalid when stat fails.
VolumeIdentity of(const std::string& path);
// lstat succeeds and the path lies on another device than `root`.
bool isDifferent(const std::string& path, const VolumeIdentity& root);
} // namespace VolumeID

namespace BulkWalker {
// The entries in file-system order, or the errno that stopped the read.
Result<std::vector<RawEntry>> children(const std::string& directory, const VolumeIdentity& root);
} // namespace BulkWalker

namespace DirectoryLister {
// Never fails: unreadable only when neither path can read the directory.
DirectoryListing list(const std::string& directory, const VolumeIdentity& root);
DirectoryListing fallback(const std::string& directory, const VolumeIdentity& root);

// The same sequence on a caller-owned reader (the walk keeps one per worker).
// Returns false when the directory is unreadable; entries are in the reader.
bool read(platform::DirectoryReader& reader, const std::string& directory,
          const VolumeIdentity& root,
          platform::DirectoryReader::Link link = platform::DirectoryReader::Link::refuse);
// The same on a directory the caller opened.
bool read(platform::DirectoryReader& reader, int dirFd, const VolumeIdentity& root);
// One entry of a reader as a RawEntry.
RawEntry entry(const platform::DirectoryReader& reader, const platform::DirEntryAttributes& e,
               const std::string& directory);
} // namespace DirectoryLister

} // namespace tb
