#include <gtest/gtest.h>

#include <cstring>

#include "framework/gdi.h"
#include "framework/resources.h"
#include "tests/picture/picture_magick.h"
#include "tests/resources/resource_pictures.h"

namespace {

using Bytes = std::vector<uint8_t>;

// An icon that ImageMagick writes from its logo, with a pattern of
// transparent pixels, at 32 bits or with a 16-colour palette.
Bytes MagickIcon(const std::string& options, const std::string& name) {
  std::string path = magick::TempPath(name);
  magick::Run("/usr/bin/convert logo: -resize 24x24! " + options + " 'ico:" + path + "'");
  Bytes data = magick::ReadFile(path);
  std::remove(path.c_str());
  return data;
}

void ExpectAgrees(const Bytes& file, bool cursor, const std::string& name) {
  std::vector<brv::IconImage> images;
  std::string error;
  ASSERT_TRUE(brv::ReadIconFile(file, cursor, &images, &error)) << error;
  ASSERT_EQ(images.size(), 1u);
  const brv::IconImage& img = images[0];
  std::string path = magick::TempPath(name);
  magick::WriteFile(path, file);
  magick::Picture ref = magick::Decode(path);
  std::remove(path.c_str());
  ASSERT_EQ(img.width, ref.width);
  ASSERT_EQ(img.height, ref.height);
  int transparent = 0;
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) {
      size_t k = size_t(y) * size_t(img.width) + size_t(x);
      const uint8_t* q = &ref.rgba[k * 4];
      int alpha = img.alpha.empty() ? (img.mask[k] ? 0 : 255) : img.alpha[k];
      EXPECT_EQ(alpha, q[3]) << x << "," << y;
      transparent += img.mask[k];
      if (q[3] == 0) continue;
      uint32_t p = img.pixels[k];
      EXPECT_EQ(int((p >> 16) & 255), q[0]) << x << "," << y;
      EXPECT_EQ(int((p >> 8) & 255), q[1]) << x << "," << y;
      EXPECT_EQ(int(p & 255), q[2]) << x << "," << y;
    }
  EXPECT_GT(transparent, 10);
}

}  // namespace

// Icons ImageMagick writes read back to the pixels it reads from them.
TEST(IconFiles, AgreeWithImageMagick) {
  const std::string holes = "-alpha set -channel A -fx '(i+j)%5==0?0:1' +channel";
  ExpectAgrees(MagickIcon(holes, "a.ico"), false, "a.ico");
  ExpectAgrees(MagickIcon(holes + " -colors 16 -type PaletteAlpha", "b.ico"), false, "b.ico");
  // the same data as a cursor (type 2, hot spot in the directory)
  Bytes cur = MagickIcon(holes, "c.ico");
  cur[2] = 2;
  cur[10] = 5, cur[11] = 0, cur[12] = 7, cur[13] = 0;
  ExpectAgrees(cur, true, "c.cur");
  HCURSOR cursor = brv::CreateIconFromFile(cur, true, 0, 0);
  ASSERT_NE(cursor, nullptr);
  EXPECT_EQ(brv::IconImageOf(cursor)->hotspot, CPoint(5, 7));
  ICONINFO info;
  ASSERT_TRUE(GetIconInfo(cursor, &info));
  EXPECT_FALSE(info.fIcon);
  EXPECT_EQ(info.xHotspot, 5u);
  DeleteObject(info.hbmMask);
  DeleteObject(info.hbmColor);
  EXPECT_TRUE(DestroyCursor(cursor));
}

// A two-image icon: the nearest size is chosen.
TEST(IconFiles, NearestSizeIsChosen) {
  std::string small = magick::TempPath("s.png"), big = magick::TempPath("b.png"), ico = magick::TempPath("two.ico");
  magick::Run("/usr/bin/convert logo: -resize 16x16! '" + small + "'");
  magick::Run("/usr/bin/convert logo: -resize 32x32! '" + big + "'");
  magick::Run("/usr/bin/convert '" + small + "' '" + big + "' 'ico:" + ico + "'");
  Bytes data = magick::ReadFile(ico);
  for (const std::string& p : {small, big, ico}) std::remove(p.c_str());
  HICON a = brv::CreateIconFromFile(data, false, 32, 32), b = brv::CreateIconFromFile(data, false, 15, 15);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(brv::IconImageOf(a)->width, 32);
  EXPECT_EQ(brv::IconImageOf(b)->width, 16);
  DestroyIcon(a);
  DestroyIcon(b);
}

// Bad files are refused with the reason; nothing past the data is read.
TEST(IconFiles, ErrorTable) {
  const Bytes good = MagickIcon("-alpha set", "good.ico");
  auto with = [&](size_t at, std::initializer_list<uint8_t> bytes) {
    Bytes b = good;
    std::copy(bytes.begin(), bytes.end(), b.begin() + ptrdiff_t(at));
    return b;
  };
  const uint32_t offset = good[18] | (good[19] << 8);
  struct Case {
    const char* name;
    Bytes data;
    bool cursor;
    const char* error;
  };
  Bytes png = good;
  std::memcpy(&png[offset], "\x89PNG\r\n\x1a\n", 8);
  const Case cases[] = {
      {"empty", {}, false, "file too short"},
      {"reserved word", with(0, {1}), false, "not an icon file"},
      {"cursor wanted", good, true, "not a cursor file"},
      {"no images", with(4, {0, 0}), false, "no images"},
      {"directory past the end", with(4, {0xFF, 0xFF}), false, "directory past the end of the file"},
      {"image past the end", with(14, {0xFF, 0xFF, 0, 0}), false, "image 0 past the end of the file"},
      {"offset past the end", with(18, {0xFF, 0xFF, 0xFF, 0}), false, "image 0 past the end of the file"},
      {"header size", with(offset, {12}), false, "image 0: bad bitmap header"},
      {"bits per pixel", with(offset + 14, {7}), false, "image 0: unsupported bits per pixel"},
      {"compressed", with(offset + 16, {1}), false, "image 0: compressed images are not read"},
      {"width", with(offset + 4, {0, 0, 0, 0}), false, "image 0: bad image size"},
      {"huge width", with(offset + 4, {0, 0, 0, 1}), false, "image 0: bad image size"},
      {"pixels past the data", Bytes(good.begin(), good.begin() + offset + 100), false, "image 0 past the end of the file"},
      {"only PNG", png, false, "only PNG images, which are not read"},
  };
  for (const Case& c : cases) {
    std::unique_ptr<uint8_t[]> exact(new uint8_t[std::max<size_t>(c.data.size(), 1)]);
    if (!c.data.empty()) std::memcpy(exact.get(), c.data.data(), c.data.size());
    std::vector<brv::IconImage> images;
    std::string error;
    EXPECT_FALSE(brv::ReadIconFile(std::span<const uint8_t>(exact.get(), c.data.size()), c.cursor, &images, &error))
        << c.name;
    EXPECT_EQ(error, c.error) << c.name;
    EXPECT_TRUE(images.empty()) << c.name;
    EXPECT_EQ(brv::CreateIconFromFile(std::span<const uint8_t>(exact.get(), c.data.size()), c.cursor, 0, 0), nullptr);
  }
  // the size in the directory agrees but the image's own rows run past it
  Bytes cut = good;
  uint32_t size = good[14] | (good[15] << 8);
  size -= 200;
  cut[14] = uint8_t(size), cut[15] = uint8_t(size >> 8);
  std::string error;
  EXPECT_FALSE(brv::ReadIconFile(cut, false, nullptr, &error));
  EXPECT_EQ(error, "image 0: pixels past the image data");
}

// Every built-in icon and cursor reads with the framework's reader as the
// resource tests' own reader reads it; every built-in bitmap loads.
TEST(IconFiles, BuiltInResourcesRead) {
  int checked = 0;
  for (const auto& [type, numbers] : std::vector<std::pair<const char*, std::vector<unsigned>>>{
           {"ICON", {128, 136, 137, 138, 139}}, {"CURSOR", {233}}}) {
    for (unsigned n : numbers) {
      std::span<const unsigned char> bytes = brv::ResourceBytes(type, n);
      if (!bytes.data()) continue;
      SCOPED_TRACE(std::string(type) + " " + std::to_string(n));
      const bool cursor = std::string(type) == "CURSOR";
      std::vector<brv::IconImage> ours;
      std::string error;
      ASSERT_TRUE(brv::ReadIconFile(bytes, cursor, &ours, &error)) << error;
      std::vector<respic::IconImage> theirs = respic::ReadIconFile(bytes, cursor ? 2 : 1);
      ASSERT_EQ(ours.size(), theirs.size());
      for (size_t k = 0; k < ours.size(); ++k) {
        ASSERT_EQ(ours[k].width, theirs[k].width);
        ASSERT_EQ(ours[k].height, theirs[k].height);
        if (cursor) {
          EXPECT_EQ(ours[k].hotspot, CPoint(theirs[k].hotspotX, theirs[k].hotspotY));
        }
        for (int y = 0; y < ours[k].height; ++y) {
          for (int x = 0; x < ours[k].width; ++x) {
            size_t i = size_t(y) * size_t(ours[k].width) + size_t(x);
            ASSERT_EQ(ours[k].mask[i] == 0, theirs[k].covers(x, y)) << x << "," << y;
            if (!theirs[k].covers(x, y)) continue;
            const respic::Rgb c = theirs[k].colour[i];
            ASSERT_EQ(ours[k].pixels[i], (uint32_t(c.r) << 16) | (uint32_t(c.g) << 8) | uint32_t(c.b)) << x << "," << y;
          }
        }
      }
      ++checked;
    }
  }
  EXPECT_GE(checked, 1);
  for (unsigned n = 1; n < 1000; ++n) {
    if (!brv::ResourceBytes("BITMAP", n).data()) continue;
    CBitmap bmp;
    EXPECT_TRUE(bmp.LoadBitmap(n)) << "BITMAP " << n;
  }
}
