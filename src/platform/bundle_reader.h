// Reads an application bundle's identifier and names from the XML property
// list at Contents/Info.plist. Any thread; no state. A missing, binary or
// malformed list reads as a bundle without any of the three values.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tb::platform {

struct BundleInfo {
    std::optional<std::string> identifier;  // "CFBundleIdentifier"
    std::optional<std::string> displayName; // "CFBundleDisplayName"
    std::optional<std::string> name;        // "CFBundleName"

    bool operator==(const BundleInfo&) const = default;
};

namespace BundleReader {

// Only top-level keys whose values are <string> elements count.
BundleInfo read(const std::string& bundlePath);
// The same rules on the bytes of an Info.plist.
BundleInfo parseInfoPlist(std::string_view document);

} // namespace BundleReader

} // namespace tb::platform
