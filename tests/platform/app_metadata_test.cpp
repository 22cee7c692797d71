// The readers of what an installed app says about itself.
#include "platform/app_source_reader.h"
#include "platform/bundle_reader.h"

#include <gtest/gtest.h>

#include "support/platform_fakes.h"

namespace tb {
namespace {

using platform::BundleInfo;
using platform::BundleReader::parseInfoPlist;

TEST(AppSourceReader, DesktopEntryKeysOfTheMainGroupOnly) {
    const auto e = platform::AppSourceReader::parseDesktopEntry(
        "# comment\n[Desktop Entry]\r\nName[de]=Notizen\r\nName = Notes\r\nType=Application\r\n"
        "NoDisplay=false\r\nX-Flatpak=org.example.Notes\r\n"
        "[Desktop Action new]\nName=New Note\nHidden=true\n");
    EXPECT_EQ(e, (platform::DesktopEntry{
                     .name = "Notes", .type = "Application", .flatpak = "org.example.Notes"}));
    EXPECT_EQ(platform::AppSourceReader::parseDesktopEntry("Name=Loose\n"),
              platform::DesktopEntry{});
}

TEST(BundleReader, ReadsTopLevelStringValues) {
    const std::pair<std::string, BundleInfo> cases[] = {
        {test::plist("<key>CFBundleIdentifier</key><string>com.example.foo</string>\n"
                     "<key>CFBundleDisplayName</key>\n  <string>Foo</string>\n"
                     "<key>CFBundleName</key><string>FooApp</string>"),
         {"com.example.foo", "Foo", "FooApp"}},
        // Entities, CDATA, comments and an empty string.
        {test::plist("<!-- c --><key>CFBundleName</key><string>A &amp; B &#x263A;&#65;</string>"
                     "<key>CFBundleDisplayName</key><string><![CDATA[<x>]]></string>"
                     "<key>CFBundleIdentifier</key><string/>"),
         {"", "<x>",
          "A & B \u263A"
          "A"}},
        // Values that are not strings, and nested dictionaries, are skipped.
        {test::plist("<key>CFBundleName</key><integer>3</integer>"
                     "<key>Nested</key><dict><key>CFBundleIdentifier</key><string>no</string>"
                     "<key>a</key><array><string>x</string><true/></array></dict>"
                     "<key>CFBundleIdentifier</key><string>yes</string>"),
         {"yes", std::nullopt, std::nullopt}},
        {"bplist00\x01\x02", {}},
        {test::plist("<key>CFBundleName</key><string>unterminated"), {}},
        {"<plist><array><string>x</string></array></plist>", {}},
        {"", {}},
    };
    for (const auto& [document, expected] : cases)
        EXPECT_EQ(parseInfoPlist(document), expected) << document;
}

} // namespace
} // namespace tb
