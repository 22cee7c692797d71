// Paths are absolute, slash-separated raw bytes (not always UTF-8).
// These helpers never touch the file system.
#pragma once

#include <string>
#include <string_view>

namespace tb::Path {

// The last component; "" for "/" (and for a path ending in "/").
std::string_view lastComponent(std::string_view path);
// The last component, or the whole path when that component is empty.
std::string_view displayName(std::string_view path);
// "/a" + "b" -> "/a/b"; "/" + "b" -> "/b".
std::string appending(std::string_view dir, std::string_view name);
// Without trailing slashes, keeping a lone "/": "/a//" -> "/a", "//" -> "/",
// "" -> "".
std::string_view trimmedSlashes(std::string_view path);
// "/a/b" -> "/a"; "/a" -> "/"; "/" -> "/".
std::string parent(std::string_view path);
// The extension after the last "." of the last component, without the dot;
// "" when there is none (".bashrc" has none).
std::string_view extension(std::string_view path);
// path == prefix, or path begins with prefix + "/".
bool isSameOrInside(std::string_view path, std::string_view prefix);
// Lexical removal of ".", ".." and repeated slashes; no trailing slash except "/".
std::string standardized(std::string_view path);
// A file URL for desktop hand-offs: "file://" + percent-encoded bytes.
std::string fileUrl(std::string_view path);

} // namespace tb::Path
