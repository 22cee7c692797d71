// What the analyses treat as an application bundle, and the names it goes by.
#pragma once

#include <string>
#include <string_view>

namespace tb {

class ScanNode;

namespace AppBundle {

// A scanned folder whose extension is "app" in any case, holding a
// "Contents" folder.
bool isAppBundle(const ScanNode& node);
// "Foo.APP" -> "Foo".
std::string nameWithoutExtension(std::string_view path);

} // namespace AppBundle

} // namespace tb
