#include "ui/Pictures.h"

#include <cmath>
#include <numbers>
#include <utility>

namespace pictures {
namespace {

constexpr double kPi = std::numbers::pi;

// Points on a circle's arc; angles in degrees, counter-clockwise from three o'clock, y downwards.
std::vector<PointF> Arc(PointF centre, double radius, double from, double to, int steps = 48) {
    std::vector<PointF> points;
    for (int i = 0; i <= steps; ++i) {
        const double a = (from + (to - from) * i / steps) * kPi / 180.0;
        points.push_back({centre.x + radius * std::cos(a), centre.y - radius * std::sin(a)});
    }
    return points;
}

DrawShape Polygon(std::vector<PointF> points, Rgb colour) {
    DrawShape s;
    s.kind = DrawShape::Kind::Polygon;
    s.points = std::move(points);
    s.colour = colour;
    return s;
}

DrawShape Polyline(std::vector<PointF> points, Rgb colour, double width) {
    DrawShape s;
    s.kind = DrawShape::Kind::Polyline;
    s.points = std::move(points);
    s.colour = colour;
    s.penWidth = width;
    return s;
}

DrawShape Disc(PointF centre, double radius, Rgb colour) {
    DrawShape s;
    s.kind = DrawShape::Kind::Ellipse;
    s.points = {{centre.x - radius, centre.y - radius}, {centre.x + radius, centre.y + radius}};
    s.colour = colour;
    return s;
}

DrawShape Ring(PointF centre, double radius, Rgb colour, double width) {
    DrawShape s = Disc(centre, radius, colour);
    s.filled = false;
    s.penWidth = width;
    return s;
}

DrawShape Rect(double x, double y, double w, double h, Rgb colour) {
    return Polygon({{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}}, colour);
}

DrawShape Text(double x, double y, double w, double h, std::string text, double pixels, bool bold,
               Rgb colour) {
    DrawShape s;
    s.kind = DrawShape::Kind::Text;
    s.points = {{x, y}, {x + w, y + h}};
    s.text = std::move(text);
    s.textPixels = pixels;
    s.bold = bold;
    s.colour = colour;
    return s;
}

// A needle from the hub at the given angle, as a slim triangle.
DrawShape NeedleShape(PointF hub, double length, double degrees, Rgb colour, double half) {
    const double a = degrees * kPi / 180.0;
    const double n = a + kPi / 2;
    const PointF tip{hub.x + length * std::cos(a), hub.y - length * std::sin(a)};
    return Polygon({{hub.x + half * std::cos(n), hub.y - half * std::sin(n)},
                    tip,
                    {hub.x - half * std::cos(n), hub.y + half * std::sin(n)}},
                   colour);
}

// The needle's base is 4.4 pixels wide unless given; an icon scales it with the gauge and leaves
// out the scale marks, which would blur at its smallest sizes.
void AddGauge(Drawing& d, PointF hub, double radius, double needleDegrees, Rgb colour,
              Rgb background, double needleHalfWidth = 2.2, bool marks = true) {
    d.shapes.push_back(Polyline(Arc(hub, radius, 180, 0), colour, radius * 0.22));
    // Scale marks at the ends and the middle.
    for (double deg : {150.0, 90.0, 30.0}) {
        if (!marks) continue;
        const double a = deg * kPi / 180.0;
        const double r1 = radius * 0.55;
        const double r2 = radius * 0.72;
        d.shapes.push_back(Polyline({{hub.x + r1 * std::cos(a), hub.y - r1 * std::sin(a)},
                                     {hub.x + r2 * std::cos(a), hub.y - r2 * std::sin(a)}},
                                    colour, radius * 0.07));
    }
    d.shapes.push_back(NeedleShape(hub, radius * 0.85, needleDegrees, colour, needleHalfWidth));
    d.shapes.push_back(Disc(hub, radius * 0.16, colour));
    d.shapes.push_back(Disc(hub, radius * 0.06, background));
}

Drawing Canvas(int width, int height, Rgb background) {
    Drawing d;
    d.width = width;
    d.height = height;
    d.background = background;
    return d;
}

}  // namespace

Drawing Gauge(Needle needle) {
    Drawing d = Canvas(54, 32, kWhite);
    const double degrees = needle == Needle::Right ? 25 : needle == Needle::Left ? 155 : 90;
    AddGauge(d, {27, 28}, 22, degrees, kAccent, kWhite);
    return d;
}

Drawing ButtonSymbol(Symbol symbol) {
    const int width = symbol == Symbol::Run ? 40 : 54;
    Drawing d = Canvas(width, 59, kAccent);
    const PointF c{width / 2.0, 29.5};
    switch (symbol) {
        case Symbol::SelectAll:
        case Symbol::UnselectAll:
            d.shapes.push_back(Ring(c, 18, kWhite, 3));
            d.shapes.push_back(Rect(c.x - 10, c.y - 1.75, 20, 3.5, kWhite));
            if (symbol == Symbol::SelectAll) {
                d.shapes.push_back(Rect(c.x - 1.75, c.y - 10, 3.5, 20, kWhite));
            }
            break;
        case Symbol::Export:
            // The tray, open at the top, and an arrow coming down into it.
            d.shapes.push_back(Polyline({{c.x - 17, c.y + 4},
                                         {c.x - 17, c.y + 16},
                                         {c.x + 17, c.y + 16},
                                         {c.x + 17, c.y + 4}},
                                        kWhite, 3));
            d.shapes.push_back(Rect(c.x - 2, c.y - 19, 4, 20, kWhite));
            d.shapes.push_back(
                Polygon({{c.x - 10, c.y - 1}, {c.x + 10, c.y - 1}, {c.x, c.y + 10}}, kWhite));
            break;
        case Symbol::Run:
            d.shapes.push_back(
                Polygon({{c.x - 11, c.y - 16}, {c.x + 15, c.y}, {c.x - 11, c.y + 16}}, kWhite));
            break;
        case Symbol::Save: {
            // A diskette: body with a clipped corner, the shutter at the top, the label below.
            const double l = c.x - 17, t = c.y - 17, r = c.x + 17, b = c.y + 17;
            d.shapes.push_back(Polygon({{l, t}, {r - 6, t}, {r, t + 6}, {r, b}, {l, b}}, kWhite));
            d.shapes.push_back(Rect(l + 7, t, 17, 11, kAccent));
            d.shapes.push_back(Rect(l + 18, t + 2, 4, 7, kWhite));
            d.shapes.push_back(Rect(l + 5, t + 17, 24, 15, kAccent));
            d.shapes.push_back(Rect(l + 8, t + 21, 18, 2, kWhite));
            d.shapes.push_back(Rect(l + 8, t + 26, 18, 2, kWhite));
            break;
        }
        case Symbol::Exit:
            // A frame open on the right and an arrow leaving it.
            d.shapes.push_back(Polyline({{c.x + 2, c.y - 11},
                                         {c.x + 2, c.y - 17},
                                         {c.x - 18, c.y - 17},
                                         {c.x - 18, c.y + 17},
                                         {c.x + 2, c.y + 17},
                                         {c.x + 2, c.y + 11}},
                                        kWhite, 3));
            d.shapes.push_back(Rect(c.x - 9, c.y - 2, 18, 4, kWhite));
            d.shapes.push_back(
                Polygon({{c.x + 8, c.y - 9}, {c.x + 19, c.y}, {c.x + 8, c.y + 9}}, kWhite));
            break;
    }
    return d;
}

Drawing WarningSign() {
    Drawing d = Canvas(93, 91, kWhite);
    // Rounded corners: the triangle drawn with a thick outline in the same colour.
    const std::vector<PointF> corners{{46.5, 10}, {86, 80}, {7, 80}};
    d.shapes.push_back(Polygon(corners, kOrange));
    std::vector<PointF> outline = corners;
    outline.push_back(corners.front());
    outline.push_back(corners[1]);
    d.shapes.push_back(Polyline(outline, kOrange, 8));
    d.shapes.push_back(Polygon({{42.5, 32}, {50.5, 32}, {48.5, 62}, {44.5, 62}}, kWhite));
    d.shapes.push_back(Disc({46.5, 70.5}, 4.2, kWhite));
    return d;
}

Drawing Splash(int width, int height) {
    Drawing d = Canvas(width, height, kAccent);
    const double w = width, h = height;
    // A white band at the bottom carries the subtitle; a large gauge sits above the name.
    d.shapes.push_back(Rect(0, h * 0.78, w, h * 0.22, kWhite));
    AddGauge(d, {w / 2, h * 0.40}, h * 0.22, 60, kWhite, kAccent);
    d.shapes.push_back(Text(0, h * 0.46, w, h * 0.2, kProductName, h * 0.15, true, kWhite));
    d.shapes.push_back(Text(0, h * 0.80, w, h * 0.18, "Tuning Windows images for virtual desktops",
                            h * 0.065, false, kAccent));
    return d;
}

Drawing ProgramIcon(int size) {
    Drawing d = Canvas(size, size, kAccent);
    const double s = size;
    const double m = s / 32;  // a little room, so that the corners do not touch the edge
    const double r = s * 0.2;
    std::vector<PointF> square;
    for (const auto& [centre, from] :
         {std::pair{PointF{m + r, m + r}, 180.0}, std::pair{PointF{s - m - r, m + r}, 90.0},
          std::pair{PointF{s - m - r, s - m - r}, 0.0},
          std::pair{PointF{m + r, s - m - r}, -90.0}}) {
        const auto corner = Arc(centre, r, from, from - 90, 12);
        square.insert(square.end(), corner.begin(), corner.end());
    }
    d.shapes.push_back(Polygon(square, kAccent));
    const double radius = s * 0.34;
    AddGauge(d, {s / 2, s * 0.66}, radius, 60, kWhite, kAccent, radius * 0.08, size >= 32);
    return d;
}

}  // namespace pictures
