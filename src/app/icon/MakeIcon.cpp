// orvik-make-icon OUTPUT.ico: the program's icon, drawn by the same picture code as the splash.
// It runs on the build machine, where there is no GDI, so it rasterises the shapes itself: 16
// samples per pixel, averaged, on a transparent ground. Each size is a 32-bit bitmap with an AND
// mask for older Windows; the 256-pixel image is PNG, as Windows Vista and later read it.

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

#include "ui/Pictures.h"

namespace {

constexpr int kSizes[] = {16, 24, 32, 48, 64, 128, 256};
constexpr int kSamples = 4;  // per pixel along each axis

using Contour = std::vector<PointF>;

// Twice the signed area: the sign tells the direction the contour runs in.
double Area2(const Contour& c) {
    double sum = 0;
    for (size_t i = 0; i < c.size(); ++i) {
        const PointF& a = c[i];
        const PointF& b = c[(i + 1) % c.size()];
        sum += a.x * b.y - b.x * a.y;
    }
    return sum;
}

// Filled contours all run one way and holes the other, so that a nonzero winding number is
// "inside" however the pieces of a shape overlap.
Contour Oriented(Contour c, bool hole) {
    if ((Area2(c) < 0) != hole) std::reverse(c.begin(), c.end());
    return c;
}

Contour Ellipse(PointF centre, double rx, double ry) {
    Contour c;
    constexpr int kSteps = 64;
    for (int i = 0; i < kSteps; ++i) {
        const double a = 2 * std::numbers::pi * i / kSteps;
        c.push_back({centre.x + rx * std::cos(a), centre.y + ry * std::sin(a)});
    }
    return c;
}

// A line with round caps and joins, as GDI's geometric pen draws it: a rectangle along each
// segment and a disc at each point.
void AddStroke(std::vector<Contour>& out, const std::vector<PointF>& points, double width) {
    const double h = width / 2;
    for (size_t i = 0; i < points.size(); ++i) {
        out.push_back(Oriented(Ellipse(points[i], h, h), false));
        if (i + 1 == points.size()) break;
        const PointF a = points[i];
        const PointF b = points[i + 1];
        const double length = std::hypot(b.x - a.x, b.y - a.y);
        if (length == 0) continue;
        const double nx = -(b.y - a.y) / length * h;
        const double ny = (b.x - a.x) / length * h;
        out.push_back(Oriented({{a.x + nx, a.y + ny},
                                {b.x + nx, b.y + ny},
                                {b.x - nx, b.y - ny},
                                {a.x - nx, a.y - ny}},
                               false));
    }
}

std::vector<Contour> Outline(const DrawShape& shape) {
    std::vector<Contour> out;
    switch (shape.kind) {
        case DrawShape::Kind::Polygon:
            if (shape.points.size() >= 3) out.push_back(Oriented(shape.points, false));
            break;
        case DrawShape::Kind::Polyline: AddStroke(out, shape.points, shape.penWidth); break;
        case DrawShape::Kind::Ellipse: {
            if (shape.points.size() != 2) break;
            const PointF a = shape.points[0];
            const PointF b = shape.points[1];
            const PointF centre{(a.x + b.x) / 2, (a.y + b.y) / 2};
            const double rx = std::abs(b.x - a.x) / 2;
            const double ry = std::abs(b.y - a.y) / 2;
            if (shape.filled) {
                out.push_back(Oriented(Ellipse(centre, rx, ry), false));
            } else {
                const double h = shape.penWidth / 2;
                out.push_back(Oriented(Ellipse(centre, rx + h, ry + h), false));
                if (rx > h && ry > h)
                    out.push_back(Oriented(Ellipse(centre, rx - h, ry - h), true));
            }
            break;
        }
        case DrawShape::Kind::Text:
            throw std::runtime_error("an icon cannot hold text: there are no fonts at build time");
    }
    return out;
}

struct Sample {
    Rgb colour;
    bool painted = false;
};

// Paints the samples whose centres the contours hold, row by row: the crossings of each row
// with the edges, sorted, give the spans where the winding number is not zero.
void Paint(std::vector<Sample>& samples, int n, double unit, const std::vector<Contour>& contours,
           Rgb colour) {
    struct Crossing {
        double x;
        int direction;
    };
    std::vector<Crossing> crossings;
    for (int row = 0; row < n; ++row) {
        const double y = (row + 0.5) * unit;
        crossings.clear();
        for (const Contour& c : contours) {
            for (size_t i = 0; i < c.size(); ++i) {
                const PointF& a = c[i];
                const PointF& b = c[(i + 1) % c.size()];
                if ((a.y <= y) == (b.y <= y)) continue;
                crossings.push_back(
                    {a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y), a.y < b.y ? 1 : -1});
            }
        }
        std::sort(crossings.begin(), crossings.end(),
                  [](const Crossing& l, const Crossing& r) { return l.x < r.x; });
        int winding = 0;
        for (size_t i = 0; i + 1 < crossings.size(); ++i) {
            winding += crossings[i].direction;
            if (winding == 0) continue;
            // Samples whose centre (column + 0.5) * unit lies in [x1, x2).
            const int from = std::max(0, static_cast<int>(std::ceil(crossings[i].x / unit - 0.5)));
            const int to =
                std::min(n, static_cast<int>(std::ceil(crossings[i + 1].x / unit - 0.5)));
            for (int column = from; column < to; ++column) {
                samples[row * n + column] = {colour, true};
            }
        }
    }
}

// Straight (not premultiplied) RGBA, top row first.
std::vector<uint8_t> Render(const Drawing& drawing, int size) {
    const int n = size * kSamples;
    const double unit = static_cast<double>(drawing.width) / n;
    std::vector<Sample> samples(static_cast<size_t>(n) * n);
    for (const DrawShape& shape : drawing.shapes) {
        Paint(samples, n, unit, Outline(shape), shape.colour);
    }
    std::vector<uint8_t> rgba;
    rgba.reserve(static_cast<size_t>(size) * size * 4);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            int r = 0, g = 0, b = 0, count = 0;
            for (int dy = 0; dy < kSamples; ++dy) {
                for (int dx = 0; dx < kSamples; ++dx) {
                    const Sample& s = samples[(y * kSamples + dy) * n + x * kSamples + dx];
                    if (!s.painted) continue;
                    r += s.colour.r;
                    g += s.colour.g;
                    b += s.colour.b;
                    ++count;
                }
            }
            const int half = count / 2;
            rgba.push_back(static_cast<uint8_t>(count ? (r + half) / count : 0));
            rgba.push_back(static_cast<uint8_t>(count ? (g + half) / count : 0));
            rgba.push_back(static_cast<uint8_t>(count ? (b + half) / count : 0));
            rgba.push_back(static_cast<uint8_t>((count * 255 + 8) / (kSamples * kSamples)));
        }
    }
    return rgba;
}

void Put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void PutBig32(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

// An icon image in bitmap form: the header with twice the height (colour and mask), the BGRA
// rows bottom-up, then the AND mask (1 = transparent) in rows of whole 32-bit words.
std::string IconBitmap(const std::vector<uint8_t>& rgba, int size) {
    const int maskStride = (size + 31) / 32 * 4;
    std::string out;
    Put32(out, 40);
    Put32(out, size);
    Put32(out, size * 2);
    Put16(out, 1);   // planes
    Put16(out, 32);  // bits per pixel
    Put32(out, 0);   // BI_RGB
    Put32(out, size * size * 4 + maskStride * size);
    for (int i = 0; i < 4; ++i) Put32(out, 0);
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) {
            const uint8_t* p = &rgba[(y * size + x) * 4];
            out += {static_cast<char>(p[2]), static_cast<char>(p[1]), static_cast<char>(p[0]),
                    static_cast<char>(p[3])};
        }
    }
    for (int y = size - 1; y >= 0; --y) {
        std::string row(maskStride, '\0');
        for (int x = 0; x < size; ++x) {
            if (rgba[(y * size + x) * 4 + 3] < 128) {
                row[x / 8] |= static_cast<char>(0x80 >> (x % 8));
            }
        }
        out += row;
    }
    return out;
}

void PutChunk(std::string& out, const char* type, const std::string& data) {
    PutBig32(out, static_cast<uint32_t>(data.size()));
    const std::string body = type + data;
    out += body;
    PutBig32(out,
             crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size())));
}

std::string Png(const std::vector<uint8_t>& rgba, int size) {
    std::string raw;
    for (int y = 0; y < size; ++y) {
        raw += '\0';  // no filter
        raw.append(reinterpret_cast<const char*>(&rgba[y * size * 4]), size * 4);
    }
    uLongf length = compressBound(raw.size());
    std::string packed(length, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &length,
                  reinterpret_cast<const Bytef*>(raw.data()), raw.size(), 9) != Z_OK) {
        throw std::runtime_error("zlib could not compress the image");
    }
    packed.resize(length);
    std::string header;
    PutBig32(header, size);
    PutBig32(header, size);
    header += {8, 6, 0, 0, 0};  // 8 bits per channel, RGBA, deflate, no filter, no interlace
    std::string out = "\x89PNG\r\n\x1a\n";
    PutChunk(out, "IHDR", header);
    PutChunk(out, "IDAT", packed);
    PutChunk(out, "IEND", "");
    return out;
}

std::string IconFile() {
    std::vector<std::string> images;
    for (int size : kSizes) {
        const std::vector<uint8_t> rgba = Render(pictures::ProgramIcon(size), size);
        images.push_back(size == 256 ? Png(rgba, size) : IconBitmap(rgba, size));
    }
    constexpr int kCount = std::size(kSizes);
    std::string out;
    Put16(out, 0);  // reserved
    Put16(out, 1);  // an icon, not a cursor
    Put16(out, kCount);
    uint32_t offset = 6 + 16 * kCount;
    for (int i = 0; i < kCount; ++i) {
        const int size = kSizes[i];
        out += static_cast<char>(size % 256);  // 0 stands for 256
        out += static_cast<char>(size % 256);
        out += {0, 0};  // no palette
        Put16(out, 1);
        Put16(out, 32);
        Put32(out, static_cast<uint32_t>(images[i].size()));
        Put32(out, offset);
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const std::string& image : images) out += image;
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: orvik-make-icon OUTPUT.ico\n");
        return 2;
    }
    try {
        const std::string icon = IconFile();
        std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
        file.write(icon.data(), static_cast<std::streamsize>(icon.size()));
        if (!file.flush()) throw std::runtime_error(std::string("cannot write ") + argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "orvik-make-icon: %s\n", e.what());
        return 1;
    }
    return 0;
}
