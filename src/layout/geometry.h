// Plain value types for the geometry of the maps: points, sizes and
// rectangles in double-precision points, origin top-left, y growing downwards.
// Angles elsewhere in layout/ are radians, 0 pointing right, growing clockwise
// on screen.
#pragma once

namespace tb {

struct Point {
    double x = 0;
    double y = 0;
    bool operator==(const Point&) const = default;
};

struct Size {
    double width = 0;
    double height = 0;
    bool operator==(const Size&) const = default;
};

struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    bool isEmpty() const { return !(width > 0 && height > 0); }
    // Half-open, so that neighbours that share an edge never both contain a
    // point on it; an empty rectangle contains nothing.
    bool contains(Point p) const {
        return !isEmpty() && p.x >= x && p.x < x + width && p.y >= y && p.y < y + height;
    }
    double area() const { return isEmpty() ? 0 : width * height; }
    bool operator==(const Rect&) const = default;
};

} // namespace tb
