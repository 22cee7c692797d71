// What sort of storage a node is, and the one-sentence advice shown for it.
// Stateless; any thread.
#pragma once

#include <string>
#include <string_view>

namespace tb {

class ScanNode;

namespace platform {
class ExtentReader;
const ExtentReader& systemExtentReader();
} // namespace platform

// `apfsClone` is a file that shares blocks with another one (a reflink copy
// or a snapshot), whatever the file system.
// `coreDump` is a core file a crashed program left (its header says so).
enum class NodeKind { ordinary, apfsClone, sparseDisk, dockerRaw, weights, derivedData, coreDump };

namespace NodeAdvice {

// Only the file system can say whether blocks are shared: a regular file is
// asked for its extents (one ioctl), so call this for the items a user looks
// at, not for a whole tree. Larger logical than allocated size without
// shared blocks is a sparse file when the file has a hole, and an ordinary
// (compressed) one otherwise.
NodeKind kind(const ScanNode& node,
              const platform::ExtentReader& extents = platform::systemExtentReader());
// One of the nine advice texts.
std::string_view why(const ScanNode& node,
                     const platform::ExtentReader& extents = platform::systemExtentReader());
// sparseDisk or dockerRaw: the inspector shows logical against allocated size.
bool isSparseDisk(const ScanNode& node,
                  const platform::ExtentReader& extents = platform::systemExtentReader());

} // namespace NodeAdvice

} // namespace tb
