#include "icons/default_icon.h"

#include <cmath>
#include <cstdint>

namespace trasslo {
namespace {

constexpr int side = 16;

void put16(ByteBuffer& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(ByteBuffer& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

struct Bgra {
    std::uint8_t b, g, r, a;
};

// The picture: a blue disc with a white equator and meridian, edges softened by coverage so
// that it reads at 16 pixels. (x, y) counts from the top-left pixel.
Bgra globe_pixel(int x, int y) {
    const double cx = 7.5, cy = 7.5, radius = 7.0;
    // Coverage of the disc sampled on a 4 x 4 grid inside the pixel.
    int inside = 0;
    for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
            double px = x + (sx + 0.5) / 4.0 - 0.5;
            double py = y + (sy + 0.5) / 4.0 - 0.5;
            if (std::hypot(px - cx, py - cy) <= radius) ++inside;
        }
    }
    if (inside == 0) return {0, 0, 0, 0};
    auto alpha = static_cast<std::uint8_t>(inside * 255 / 16);
    double d = std::hypot(x - cx, y - cy);
    bool line = (y == 7 || y == 8) ? (x >= 1 && x <= 14)
                                   : (x == 7 || x == 8) || std::fabs(std::fabs(x - cx) - 4.0) < 0.6;
    if (line && d < radius - 0.8) return {0xFF, 0xF0, 0xE0, alpha};
    // Shade from light blue at the top-left to deep blue at the bottom-right.
    double t = (x + y) / 30.0;
    auto blue = static_cast<std::uint8_t>(0xF0 - 0x40 * t);
    auto green = static_cast<std::uint8_t>(0xA0 - 0x60 * t);
    auto red = static_cast<std::uint8_t>(0x40 - 0x30 * t);
    return {blue, green, red, alpha};
}

ByteBuffer build_default_icon() {
    ByteBuffer out;
    out.reserve(default_icon_size);
    const std::uint32_t colour_bytes = side * side * 4;
    const std::uint32_t mask_bytes = side * 4;  // 16 bits a row, padded to 32
    const std::uint32_t image_bytes = 40 + colour_bytes + mask_bytes;

    // ICONDIR: reserved, type 1 (icon), one image.
    put16(out, 0);
    put16(out, 1);
    put16(out, 1);
    // ICONDIRENTRY: width, height, colour count, reserved, planes, bits, size, offset.
    out.push_back(side);
    out.push_back(side);
    out.push_back(0);
    out.push_back(0);
    put16(out, 1);
    put16(out, 32);
    put32(out, image_bytes);
    put32(out, 6 + 16);
    // BITMAPINFOHEADER: the height counts colour rows and mask rows together.
    put32(out, 40);
    put32(out, side);
    put32(out, side * 2);
    put16(out, 1);
    put16(out, 32);
    put32(out, 0);  // BI_RGB
    put32(out, colour_bytes + mask_bytes);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    // Colour rows bottom-up, BGRA.
    for (int y = side - 1; y >= 0; --y) {
        for (int x = 0; x < side; ++x) {
            Bgra p = globe_pixel(x, y);
            out.insert(out.end(), {p.b, p.g, p.r, p.a});
        }
    }
    // AND mask bottom-up: a set bit marks a transparent pixel for readers that ignore alpha.
    for (int y = side - 1; y >= 0; --y) {
        std::uint16_t bits = 0;
        for (int x = 0; x < side; ++x) {
            if (globe_pixel(x, y).a == 0) bits |= static_cast<std::uint16_t>(0x8000 >> x);
        }
        out.insert(out.end(), {static_cast<std::uint8_t>(bits >> 8),
                               static_cast<std::uint8_t>(bits & 0xFF), 0, 0});
    }
    return out;
}

}  // namespace

const ByteBuffer& default_icon_bytes() {
    static const ByteBuffer bytes = build_default_icon();
    return bytes;
}

}  // namespace trasslo
