#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <string_view>
#include <vector>

#include "session/app_enums.h"
#include "ui/disk_theme.h"

namespace tb {
namespace {

QImage drawn(std::string_view symbol) {
    return DiskTheme::icon(symbol).pixmap(QSize(32, 32)).toImage().convertToFormat(
        QImage::Format_ARGB32);
}

// Icons that stand side by side must tell their items apart: the sidebar's
// tabs, and the modes of the Explore picker.
void expectAllDifferent(const std::vector<std::string_view>& symbols) {
    std::vector<QImage> images;
    for (std::string_view s : symbols) {
        images.push_back(drawn(s));
        EXPECT_FALSE(images.back().isNull()) << s;
    }
    for (std::size_t i = 0; i < images.size(); ++i) {
        for (std::size_t j = i + 1; j < images.size(); ++j)
            EXPECT_NE(images[i], images[j]) << symbols[i] << " looks like " << symbols[j];
    }
}

TEST(Icons, TabsAndExploreModesEachHaveTheirOwn) {
    std::vector<std::string_view> tabs, modes;
    for (const auto& t : appTabs)
        tabs.push_back(t.symbol);
    for (const auto& m : viewModes)
        modes.push_back(m.symbol);
    expectAllDifferent(tabs);
    expectAllDifferent(modes);
}

} // namespace
} // namespace tb
