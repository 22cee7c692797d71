// What sort of storage a node is, and the one-sentence advice shown for it.
// Stateless; any thread.
#pragma once

#include <string>
#include <string_view>

namespace tb {

class ScanNode;

enum class NodeKind { ordinary, apfsClone, sparseDisk, dockerRaw, weights, derivedData };

namespace NodeAdvice {

NodeKind kind(const ScanNode& node);
// One of the eight advice texts.
std::string_view why(const ScanNode& node);
// sparseDisk or dockerRaw: the inspector shows logical against allocated size.
bool isSparseDisk(const ScanNode& node);

} // namespace NodeAdvice

} // namespace tb
