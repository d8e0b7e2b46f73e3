#include "picture/tgadecoder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "picture/textexception.h"
#include "tests/picture/picture_magick.h"

namespace {

using magick::Bytes;
using magick::Picture;

// A TGA header; the pixel data follows.
Bytes Header(int type, int width, int height, int depth, int descriptor, int cmapFirst = 0, int cmapLength = 0,
             int cmapEntrySize = 0)
{
	return Bytes{0,
	             (uint8_t)(cmapLength ? 1 : 0),
	             (uint8_t)type,
	             (uint8_t)cmapFirst,
	             (uint8_t)(cmapFirst >> 8),
	             (uint8_t)cmapLength,
	             (uint8_t)(cmapLength >> 8),
	             (uint8_t)cmapEntrySize,
	             0, 0, 0, 0,
	             (uint8_t)width,
	             (uint8_t)(width >> 8),
	             (uint8_t)height,
	             (uint8_t)(height >> 8),
	             (uint8_t)depth,
	             (uint8_t)descriptor};
}

TEST(TgaDecoder, ImageMagickFilesDecodeToImageMagicksPixels)
{
	const int w = 23, h = 13;
	std::string opaque = magick::WritePam("tga_src", w, h, magick::Pattern(w, h, false), false);
	std::string alpha = magick::WritePam("tga_src_alpha", w, h, magick::Pattern(w, h, true), true);
	struct Case
	{
		const char *options;
		bool withAlpha;
		int depth;   // of the file
		int type;
	};
	const Case cases[] = {
	    {"-compress None", false, 24, 2},
	    {"-compress RLE", false, 24, 10},
	    {"-orient TopLeft -compress None", false, 24, 2},
	    {"-orient TopLeft -compress RLE", false, 24, 10},
	    {"-compress None", true, 32, 2},
	    {"-orient TopLeft -compress RLE", true, 32, 10},
	    {"-depth 5 -compress None", false, 16, 2},
	    {"-depth 5 -compress RLE", false, 16, 10},
	    {"-type Palette -colors 60", false, 8, 1},
	    {"-type Palette -colors 60 -compress RLE", false, 8, 9},
	    {"-type Grayscale", false, 8, 3},
	    {"-type Grayscale -compress RLE", false, 8, 11},
	};
	for (const Case &c : cases) {
		SCOPED_TRACE(testing::Message() << c.options << (c.withAlpha ? " with alpha" : ""));
		std::string tga = magick::TempPath("im.tga");
		magick::Run(std::string("/usr/bin/convert '") + (c.withAlpha ? alpha : opaque) + "' " + c.options + " '" + tga + "'");
		Bytes file = magick::ReadFile(tga);
		ASSERT_EQ(file[2], c.type);
		ASSERT_EQ(file[16], c.depth);
		CWinBmp bmp;
		magick::DecodeFile(tga, bmp);
		// ImageMagick keeps the stored row order and notes the origin; turned
		// by it, the rows come in picture order
		Picture ref = magick::Decode(tga, "", "-auto-orient");
		if (c.depth == 16) {
			// ImageMagick stretches 5 bits to 0..255; the decoder takes 8 x v
			for (size_t i = 0; i < ref.rgba.size(); ++i)
				if (i % 4 != 3)
					ref.rgba[i] = (uint8_t)((ref.rgba[i] * 31 + 127) / 255 * 8);
		}
		EXPECT_TRUE(magick::SamePixels(bmp, ref, c.withAlpha));
		EXPECT_EQ(bmp.HasAlpha(), c.depth == 32 || c.depth == 16);
		std::remove(tga.c_str());
	}
	std::remove(opaque.c_str());
	std::remove(alpha.c_str());
}

TEST(TgaDecoder, NaturalDepthOfPaletteAndGreyPicturesIsEightBits)
{
	// 3 x 2, colour-mapped, bottom row first
	Bytes tga = Header(1, 3, 2, 8, 0, 0, 3, 24);
	tga.insert(tga.end(), {10, 20, 30, 40, 50, 60, 70, 80, 90});   // BGR entries
	tga.insert(tga.end(), {0, 1, 2, 2, 1, 0});
	CWinBmp bmp;
	magick::DecodeBytes(tga, bmp, 0);
	ASSERT_EQ(bmp.GetBitsPerPixel(), 8);
	EXPECT_EQ(bmp.GetLine(1)[1], 1);   // stored first: the bottom row
	EXPECT_EQ(bmp.GetLine(0)[0], 2);
	EXPECT_EQ(bmp.GetPalette()[2].GetR(), 90);
	EXPECT_EQ(bmp.GetPalette()[2].GetB(), 70);

	CWinBmp colour;
	magick::DecodeBytes(tga, colour, 32);
	EXPECT_EQ(colour.GetPixel(0, 0).GetG(), 80);
}

TEST(TgaDecoder, RunsCrossRowsAndColourMapsStayInTheirTable)
{
	// one run packet of 8 pixels covers both rows of 4
	Bytes runs = Header(10, 4, 2, 24, 0x20);
	runs.insert(runs.end(), {0x87, 1, 2, 3});
	CWinBmp bmp;
	magick::DecodeBytes(runs, bmp);
	for (int y = 0; y < 2; ++y)
		for (int x = 0; x < 4; ++x)
			EXPECT_EQ(bmp.GetPixel(x, y).GetR(), 3);

	// a colour map from entry 250 on, 20 entries long: those past 255 are dropped
	Bytes map = Header(1, 2, 1, 8, 0, 250, 20, 24);
	for (int i = 0; i < 20; ++i)
		map.insert(map.end(), {(uint8_t)i, (uint8_t)(i + 100), (uint8_t)(i + 200)});
	map.insert(map.end(), {252, 255});
	magick::DecodeBytes(map, bmp);
	EXPECT_EQ(bmp.GetPixel(0, 0).GetR(), 202);
	EXPECT_EQ(bmp.GetPixel(1, 0).GetR(), 205);
}

TEST(TgaDecoder, BadFilesFailAndLeaveTheBitmap)
{
	struct Case
	{
		const char *name;
		Bytes file;
		int code;
	};
	Bytes raw = Header(2, 100, 100, 24, 0);
	raw.resize(raw.size() + 3 * 100 * 99);
	Bytes rle = Header(10, 1000, 1000, 32, 0);
	rle.insert(rle.end(), {0xFF, 1, 2, 3, 4});
	const Case cases[] = {
	    {"unknown image type", Header(4, 2, 2, 24, 0), 2},
	    {"raw data short of a row", raw, 11},
	    {"run-length data far too short", rle, 11},
	    {"colour map cut off", Header(1, 2, 2, 8, 0, 0, 256, 24), 11},
	};
	for (const Case &c : cases) {
		SCOPED_TRACE(c.name);
		CWinBmp bmp;
		bmp.Create(5, 7, 32, false);
		CTGADecoder decoder;
		EXPECT_EQ(magick::DecodeError(decoder, c.file, bmp), c.code);
		EXPECT_EQ(bmp.GetWidth(), 5);
		EXPECT_EQ(bmp.GetHeight(), 7);
	}
}

} // namespace
