// Texts the explore views share. Interface thread only.
#pragma once

#include <QString>

#include <string_view>

#include "scan/exclude_rules.h"

namespace tb::ExploreText {

// The path below the scan root for display ("src/main.c"); the root itself
// reads "."; a path outside the root is shown whole.
QString relativePath(std::string_view path, std::string_view root);

// The tag of a row the scan listed but did not walk; empty for none.
QString leftOutTag(LeftOutKind kind);
// Why it was not walked, for a tooltip.
QString leftOutReason(LeftOutKind kind);

} // namespace tb::ExploreText
