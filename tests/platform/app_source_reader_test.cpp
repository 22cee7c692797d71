#include "platform/app_source_reader.h"

#include <gtest/gtest.h>

namespace tb {
namespace {

TEST(AppSourceReader, DesktopEntryKeysOfTheMainGroupOnly) {
    const auto e = platform::AppSourceReader::parseDesktopEntry(
        "# comment\n[Desktop Entry]\r\nName[de]=Notizen\r\nName = Notes\r\nType=Application\r\n"
        "NoDisplay=false\r\nX-Flatpak=org.example.Notes\r\n"
        "[Desktop Action new]\nName=New Note\nHidden=true\n");
    EXPECT_EQ(e.name, "Notes");
    EXPECT_EQ(e.type, "Application");
    EXPECT_FALSE(e.hidden);
    EXPECT_FALSE(e.noDisplay);
    EXPECT_EQ(e.flatpak, "org.example.Notes");
    EXPECT_EQ(platform::AppSourceReader::parseDesktopEntry("Name=Loose\n"),
              platform::DesktopEntry{});
}

} // namespace
} // namespace tb
