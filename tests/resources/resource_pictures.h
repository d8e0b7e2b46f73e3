// Pictures of the built-in resources for the tests: bitmaps decoded through
// the picture library into plain RGB arrays, and a reader of Windows icon and
// cursor files written for the tests alone (the program's own reader is the
// framework's), checked against ImageMagick.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/resources.h"
#include "picture/anypicdecoder.h"
#include "picture/winbmp.h"

namespace respic {

struct Rgb {
    int r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

struct Picture {
    int width = 0, height = 0;
    std::vector<Rgb> px;
    const Rgb& at(int x, int y) const { return px[static_cast<size_t>(y) * width + x]; }
};

inline std::span<const unsigned char> Bytes(const char* type, unsigned number) {
    return brv::ResourceBytes(type, number);
}

// Through the picture library's format recognition, at 32 bits per pixel.
inline Picture Decode(std::span<const unsigned char> bytes) {
    CWinBmp bmp;
    CAnyPicDecoder decoder;
    decoder.MakeBmpFromMemory(bytes.data(), static_cast<int>(bytes.size()), &bmp, 32);
    Picture p;
    p.width = bmp.GetWidth();
    p.height = bmp.GetHeight();
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            CPixel32 c = bmp.GetPixel(x, y);
            p.px.push_back({c.GetR(), c.GetG(), c.GetB()});
        }
    return p;
}

inline Picture DecodeResource(const char* type, unsigned number) {
    std::span<const unsigned char> bytes = Bytes(type, number);
    if (!bytes.data()) throw std::runtime_error("no resource " + std::string(type) + " " + std::to_string(number));
    return Decode(bytes);
}

inline uint32_t le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
inline uint16_t le16(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }

// Bits per pixel of a BMP file as its header states it.
inline int BmpDepth(std::span<const unsigned char> bytes) {
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return 0;
    return le16(bytes.data() + 28);
}

// One image of an icon or cursor file: colours and the AND mask (true where
// the image covers the screen).
struct IconImage {
    int width = 0, height = 0;
    int hotspotX = -1, hotspotY = -1;  // cursors
    std::vector<Rgb> colour;
    std::vector<bool> opaque;
    bool covers(int x, int y) const { return opaque[static_cast<size_t>(y) * width + x]; }
};

// Reads ICO (kind 1) and CUR (kind 2) files of 24-bit BITMAPINFOHEADER images;
// every size and offset is checked against the data.
inline std::vector<IconImage> ReadIconFile(std::span<const unsigned char> d, int kind) {
    auto need = [&](size_t end) {
        if (end > d.size()) throw std::runtime_error("icon file too short");
    };
    need(6);
    if (le16(d.data()) != 0 || le16(d.data() + 2) != kind) throw std::runtime_error("not an icon or cursor file");
    int count = le16(d.data() + 4);
    std::vector<IconImage> out;
    for (int i = 0; i < count; ++i) {
        const size_t e = 6 + 16 * static_cast<size_t>(i);
        need(e + 16);
        IconImage img;
        img.width = d[e] ? d[e] : 256;
        img.height = d[e + 1] ? d[e + 1] : 256;
        if (kind == 2) {
            img.hotspotX = le16(d.data() + e + 4);
            img.hotspotY = le16(d.data() + e + 6);
        }
        size_t size = le32(d.data() + e + 8), offset = le32(d.data() + e + 12);
        need(offset + size);
        const unsigned char* h = d.data() + offset;
        if (size < 40 || le32(h) != 40) throw std::runtime_error("not a BITMAPINFOHEADER image");
        if (static_cast<int>(le32(h + 4)) != img.width || static_cast<int>(le32(h + 8)) != 2 * img.height ||
            le16(h + 14) != 24)
            throw std::runtime_error("image header disagrees with the directory");
        size_t xorRow = (static_cast<size_t>(img.width) * 3 + 3) & ~size_t(3);
        size_t andRow = (static_cast<size_t>(img.width) + 31) / 32 * 4;
        if (40 + (xorRow + andRow) * img.height > size) throw std::runtime_error("image rows beyond its size");
        const unsigned char* xo = h + 40;
        const unsigned char* an = xo + xorRow * img.height;
        for (int y = 0; y < img.height; ++y) {
            const unsigned char* xr = xo + xorRow * (img.height - 1 - y);
            const unsigned char* ar = an + andRow * (img.height - 1 - y);
            for (int x = 0; x < img.width; ++x) {
                img.colour.push_back({xr[3 * x + 2], xr[3 * x + 1], xr[3 * x]});
                img.opaque.push_back(!(ar[x >> 3] & (0x80 >> (x & 7))));
            }
        }
        out.push_back(img);
    }
    return out;
}

}  // namespace respic
