// The small caption a map shows for the item under the pointer: its name and
// byte count on a translucent rounded card. Interface thread only.
#pragma once

#include <cstdint>
#include <string>

class QPainter;
class QRectF;

namespace tb {

struct HoverCaption {
    std::string title; // raw bytes, decoded only for display
    std::int64_t bytes = 0;

    // Draws the caption in the bottom-left corner of `area`, 10 points from
    // its edges.
    void paint(QPainter& painter, const QRectF& area) const;
};

} // namespace tb
