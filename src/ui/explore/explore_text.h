// Texts the explore views share. Interface thread only.
#pragma once

#include <QString>

#include <string_view>

namespace tb::ExploreText {

// The path below the scan root for display ("src/main.c"); the root itself
// reads "."; a path outside the root is shown whole.
QString relativePath(std::string_view path, std::string_view root);

} // namespace tb::ExploreText
