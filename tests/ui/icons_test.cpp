#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>

#include "session/app_enums.h"
#include "ui/disk_theme.h"

namespace tb {
namespace {

// Icons that stand side by side must tell their items apart: the sidebar's
// tabs, and the modes of the Explore picker.
template <typename Rows>
void expectAllDifferent(const Rows& rows) {
    std::vector<QImage> images;
    for (const auto& row : rows) {
        images.push_back(DiskTheme::icon(row.symbol).pixmap(QSize(32, 32)).toImage());
        EXPECT_FALSE(images.back().isNull()) << row.symbol;
        for (std::size_t i = 0; i + 1 < images.size(); ++i)
            EXPECT_NE(images[i], images.back()) << rows[i].symbol << " looks like " << row.symbol;
    }
}

TEST(Icons, TabsAndExploreModesEachHaveTheirOwn) {
    expectAllDifferent(appTabs);
    expectAllDifferent(viewModes);
}

} // namespace
} // namespace tb
