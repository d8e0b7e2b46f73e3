#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "picture/membmp.h"
#include "picture/picfilter.h"
#include "picture/winbmp.h"
#include "tests/picture/picture_magick.h"

namespace {

// A grey picture of the given rows (top first); alpha follows the grey.
CWinBmp GreyPicture(const std::vector<std::vector<int>> &rows)
{
	CWinBmp bmp;
	bmp.Create((int)rows[0].size(), (int)rows.size(), 32, true);
	for (size_t y = 0; y < rows.size(); ++y)
		for (size_t x = 0; x < rows[y].size(); ++x) {
			const uint8_t v = (uint8_t)rows[y][x];
			bmp.SetPixel((int)x, (int)y, CPixel32(v, v, v, v));
		}
	return bmp;
}

std::vector<std::vector<int>> Greys(const CWinBmp &bmp)
{
	std::vector<std::vector<int>> rows((size_t)bmp.GetHeight());
	for (int y = 0; y < bmp.GetHeight(); ++y)
		for (int x = 0; x < bmp.GetWidth(); ++x) {
			const CPixel32 p = bmp.GetPixel(x, y);
			EXPECT_TRUE(p.GetG() == p.GetR() && p.GetB() == p.GetR() && p.GetA() == p.GetR()) << x << "," << y;
			rows[(size_t)y].push_back(p.GetR());
		}
	return rows;
}

// Hand-computed results. Destination sample i sits at source position
// c = i / s (s = new size / old size, no half-pixel offset). Growing: the
// triangle of radius 1 around c, i.e. linear interpolation between the two
// neighbours, the last sample repeated past the end. Shrinking: the triangle
// widened to 1 / s and flattened by s, weights divided by their sum. Each
// pass (rows first) rounds to whole bytes.
TEST(ResizeBilinear, HandComputedPictures)
{
	struct Case
	{
		const char *name;
		std::vector<std::vector<int>> in;
		int width, height;
		std::vector<std::vector<int>> out;
	} cases[] = {
	    // c = 0, 0.5, 1, 1.5: 0, 50, 100 and 100 past the end, in both passes
	    {"2 x 2 doubled",
	     {{0, 100}, {100, 200}},
	     4,
	     4,
	     {{0, 50, 100, 100}, {50, 100, 150, 150}, {100, 150, 200, 200}, {100, 150, 200, 200}}},
	    // s = 1/2: support 2, factor 1/2. c = 0: sources 0..2 weigh 1/2,
	    // 1/4, 0, i.e. 2/3, 1/3; c = 2: sources 1..3 weigh 1/4, 1/2, 1/4.
	    // Rows 0 30 60 90 (+ 30 y) give 10 and 60 (+ 30 y), and the columns
	    // 10 + (0 30 60 90) give 20 and 70.
	    {"4 x 4 halved",
	     {{0, 30, 60, 90}, {30, 60, 90, 120}, {60, 90, 120, 150}, {90, 120, 150, 180}},
	     2,
	     2,
	     {{20, 70}, {70, 120}}},
	    // s = 2/3: support 1.5, factor 2/3. c = 0: sources 0, 1 weigh 2/3,
	    // 2/9 (3/4, 1/4): 0 x 3/4 + 40 / 4 = 10; c = 1.5: sources 1, 2 weigh
	    // 4/9 each: 60.
	    {"3 to 2", {{0, 40, 80}}, 2, 1, {{10, 60}}},
	    // s = 2/5: support 2.5, factor 2/5. c = 0: sources 0..2 weigh 2/5,
	    // 6/25, 2/25 (5/9, 3/9, 1/9): 60 / 3 + 120 / 9 = 33.3; c = 2.5:
	    // sources 1..4 weigh 4/25, 8/25, 8/25, 4/25 (1/6, 1/3, 1/3, 1/6):
	    // 10 + 40 + 60 + 40 = 150.
	    {"5 to 2", {{0, 60, 120, 180, 240}}, 2, 1, {{33, 150}}},
	    // s = 3/2: c = 0, 2/3, 4/3: 0, 100 x 2/3 = 66.7 rounded, and 100 past
	    // the end
	    {"2 to 3", {{0, 100}}, 3, 1, {{0, 67, 100}}},
	    // wider and lower at once: rows 0 90 -> 0 45 90 90, then the
	    // column halved (c = 0: weights 2/3, 1/3 of the two rows)
	    {"up in x, down in y", {{0, 90}, {90, 180}}, 4, 1, {{30, 75, 120, 120}}},
	    {"1 x 1 spread", {{77}}, 3, 2, {{77, 77, 77}, {77, 77, 77}}},
	};
	for (const Case &c : cases) {
		SCOPED_TRACE(c.name);
		CWinBmp bmp = GreyPicture(c.in);
		bmp.ResizeBilinear(c.width, c.height);
		ASSERT_EQ(bmp.GetWidth(), c.width);
		ASSERT_EQ(bmp.GetHeight(), c.height);
		EXPECT_TRUE(bmp.HasAlpha());
		EXPECT_EQ(Greys(bmp), c.out);
	}
}

// Growing is linear interpolation between the two nearest source pixels at
// c = i / s: ImageMagick's bilinear interpolation at the same source points
// (an affine distortion with that scale that keeps pixel 0 on pixel 0,
// edges repeated) is the reference. Our two passes each round to bytes,
// hence the tolerance of 1.
TEST(ResizeBilinear, GrowingMatchesImageMagicksBilinearInterpolation)
{
	const std::string bmpPath = magick::TempPath("resize_rose.bmp");
	magick::Run("/usr/bin/convert rose: -type TrueColor 'BMP3:" + bmpPath + "'");
	CWinBmp rose;
	magick::DecodeFile(bmpPath, rose);
	ASSERT_EQ(rose.GetWidth(), 70);
	ASSERT_EQ(rose.GetHeight(), 46);

	const std::pair<int, int> sizes[] = {{256, 256}, {141, 97}, {70, 200}, {301, 46}};
	for (auto [w, h] : sizes) {
		SCOPED_TRACE(testing::Message() << w << "x" << h);
		const double sx = double(w) / 70, sy = double(h) / 46;
		char affine[200];
		snprintf(affine, sizeof affine, "%.17g,0,0,%.17g,%.17g,%.17g", sx, sy, 0.5 * (1 - sx), 0.5 * (1 - sy));
		const std::string out = magick::TempPath("resize_ref.rgba");
		magick::Run("/usr/bin/convert '" + bmpPath + "' -filter point -interpolate bilinear -virtual-pixel edge " +
		            "-define distort:viewport=" + std::to_string(w) + "x" + std::to_string(h) +
		            "+0+0 -distort AffineProjection '" + affine + "' -depth 16 'rgba:" + out + "'");
		const magick::Bytes raw = magick::ReadFile(out);
		std::remove(out.c_str());
		ASSERT_EQ(raw.size(), (size_t)w * h * 8);
		magick::Picture ref;
		ref.width = w;
		ref.height = h;
		for (size_t i = 0; i < raw.size(); i += 2) {
			const int v16 = raw[i] | raw[i + 1] << 8;
			ref.rgba.push_back((uint8_t)((v16 * 2 + 257) / 514));   // rounded to 8 bits
		}
		CWinBmp bmp(rose);
		bmp.ResizeBilinear(w, h);
		EXPECT_TRUE(magick::SamePixels(bmp, ref, false, 1));
	}
	std::remove(bmpPath.c_str());
}

CWinBmp Noise(int w, int h, unsigned seed)
{
	CWinBmp bmp;
	bmp.Create(w, h, 32, true);
	std::mt19937 rng(seed);
	for (int y = 0; y < h; ++y)
		for (int x = 0; x < w; ++x) {
			uint32_t v = rng();
			bmp.SetPixel(x, y, CPixel32(uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)));
		}
	return bmp;
}

void ExpectSameBytes(const CBaseBmp &a, const CBaseBmp &b)
{
	ASSERT_EQ(a.GetWidth(), b.GetWidth());
	ASSERT_EQ(a.GetHeight(), b.GetHeight());
	ASSERT_EQ(a.GetBitsPerPixel(), b.GetBitsPerPixel());
	EXPECT_EQ(a.HasAlpha(), b.HasAlpha());
	for (int y = 0; y < a.GetHeight(); ++y)
		ASSERT_EQ(memcmp(a.GetLine(y), b.GetLine(y), size_t(a.GetWidth()) * 4), 0) << "row " << y;
}

// In place, into another bitmap and through the filter into another kind of
// bitmap, on the texture build's shapes (up to a square, halving the
// height), a one-to-one width and odd ones, down to empty targets: one
// result. Where the width stays, the transposed picture resizes to the
// transposed result (the vertical pass works as the horizontal one).
TEST(ResizeBilinear, EveryWayGivesTheSameBytes)
{
	struct Case
	{
		int w, h, nw, nh;
	} cases[] = {
	    {120, 90, 256, 256},  // a photo up to the texture square
	    {90, 120, 256, 256},  {256, 256, 256, 128},  // the texture's halving
	    {257, 255, 257, 127}, {37, 53, 100, 7},     {100, 7, 37, 53},
	    {1, 1, 5, 3},         {5, 3, 1, 1},          {64, 64, 64, 64},
	    {16, 16, 0, 5},       {16, 16, 5, 0},        {16, 16, 0, 0},
	};
	unsigned seed = 1;
	for (const Case &c : cases) {
		SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " -> " << c.nw << "x" << c.nh);
		CWinBmp src = Noise(c.w, c.h, seed++);

		CWinBmp inPlace(src);
		inPlace.ResizeBilinear(c.nw, c.nh);
		ASSERT_EQ(inPlace.GetWidth(), c.nw);
		ASSERT_EQ(inPlace.GetHeight(), c.nh);

		CWinBmp into;
		into.Create(3, 2, 32, false);   // whatever it held goes
		into.ResizeBilinearFrom(src, c.nw, c.nh);
		ExpectSameBytes(into, inPlace);

		CMemBmp mem;
		CTriangleKernel kernel;
		CPicResizeFilter(c.nw, c.nh, kernel).Apply(&src, &mem);
		ExpectSameBytes(mem, inPlace);

		CWinBmp self = src;
		self.ResizeBilinearFrom(self, c.nw, c.nh);
		ExpectSameBytes(self, inPlace);

		// transposed, where one pass copies and the other one alone
		// rounds: the transposed result
		if (c.w == c.nw) {
			CWinBmp t;
			t.Create(c.h, c.w, 32, true);
			for (int y = 0; y < c.h; ++y)
				for (int x = 0; x < c.w; ++x)
					t.SetPixel(y, x, src.GetPixel(x, y));
			t.ResizeBilinear(c.nh, c.nw);
			for (int y = 0; y < c.nh; ++y)
				for (int x = 0; x < c.nw; ++x)
					ASSERT_EQ(t.GetPixel(y, x), inPlace.GetPixel(x, y)) << x << "," << y;
		}
	}
}

} // namespace
