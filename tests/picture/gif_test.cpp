#include "picture/gifdecoder.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "picture/textexception.h"
#include "tests/picture/picture_magick.h"

namespace {

using magick::Bytes;
using magick::Picture;

struct GifImage
{
	int left, top, width, height;
	bool interlace;
	int localColors;   // 0: no local colour map
};

struct GifSpec
{
	int width, height;
	int globalColors;   // 0: no global colour map
	int background;
	std::vector<GifImage> images;
};

int IndexAt(int image, int x, int y, int colors) { return (x * 3 + y * 5 + image * 7) % colors; }

GifColorType MapColor(int map, int i)
{
	return GifColorType{(GifByteType)(i * 5 + map * 60), (GifByteType)(255 - i * 3), (GifByteType)(i * 11 + map)};
}

ColorMapObject *MakeMap(int map, int colors)
{
	std::vector<GifColorType> c;
	for (int i = 0; i < colors; ++i)
		c.push_back(MapColor(map, i));
	return GifMakeMapObject(colors, c.data());
}

// giflib's own encoder.
Bytes WriteGif(const GifSpec &s)
{
	Bytes out;
	int err = 0;
	GifFileType *gif = EGifOpen(&out,
	                            [](GifFileType *g, const GifByteType *data, int n) {
		                            auto *o = static_cast<Bytes *>(g->UserData);
		                            o->insert(o->end(), data, data + n);
		                            return n;
	                            },
	                            &err);
	EGifSetGifVersion(gif, true);
	ColorMapObject *global = s.globalColors ? MakeMap(0, s.globalColors) : nullptr;
	EXPECT_EQ(EGifPutScreenDesc(gif, s.width, s.height, 8, s.background, global), GIF_OK);
	for (size_t k = 0; k < s.images.size(); ++k) {
		const GifImage &im = s.images[k];
		ColorMapObject *local = im.localColors ? MakeMap((int)k + 1, im.localColors) : nullptr;
		int colors = im.localColors ? im.localColors : s.globalColors ? s.globalColors : 256;
		EXPECT_EQ(EGifPutImageDesc(gif, im.left, im.top, im.width, im.height, im.interlace, local), GIF_OK);
		std::vector<int> order;
		if (im.interlace) {
			const int offsets[4] = {0, 4, 2, 1}, steps[4] = {8, 8, 4, 2};
			for (int p = 0; p < 4; ++p)
				for (int y = offsets[p]; y < im.height; y += steps[p])
					order.push_back(y);
		}
		else
			for (int y = 0; y < im.height; ++y)
				order.push_back(y);
		for (int y : order) {
			std::vector<GifPixelType> row;
			for (int x = 0; x < im.width; ++x)
				row.push_back((GifPixelType)IndexAt((int)k, x, y, colors));
			EXPECT_EQ(EGifPutLine(gif, row.data(), im.width), GIF_OK);
		}
		if (local)
			GifFreeMapObject(local);
	}
	EGifCloseFile(gif, &err);
	if (global)
		GifFreeMapObject(global);
	return out;
}

// What the decoder must make of the layout: the screen's top row in the
// background colour, the first image clipped to the screen, in its own colour
// map (else the screen's, else the grey ramp) over the grey ramp; later
// images are neither drawn nor colour the picture.
Picture Expected(const GifSpec &s)
{
	std::vector<int> index((size_t)s.width * s.height, 0);
	for (int x = 0; x < s.width; ++x)
		index[(size_t)x] = s.background;
	int map = 0, colors = s.globalColors;
	if (!s.images.empty()) {
		const GifImage &im = s.images.front();
		if (im.localColors) {
			map = 1;
			colors = im.localColors;
		}
		const int indexColors = colors ? colors : 256;
		for (int y = 0; y < im.height; ++y)
			for (int x = 0; x < im.width; ++x)
				if (im.left + x < s.width && im.top + y < s.height)
					index[(size_t)(im.top + y) * s.width + im.left + x] = IndexAt(0, x, y, indexColors);
	}
	Picture pic;
	pic.width = s.width;
	pic.height = s.height;
	for (int i : index) {
		GifColorType c = i < colors ? MapColor(map, i) : GifColorType{(GifByteType)i, (GifByteType)i, (GifByteType)i};
		pic.rgba.insert(pic.rgba.end(), {c.Red, c.Green, c.Blue, 255});
	}
	return pic;
}

TEST(GifDecoder, GiflibFilesDecodeToTheirPixels)
{
	const std::pair<const char *, GifSpec> cases[] = {
	    {"one image filling the screen", {23, 17, 256, 0, {{0, 0, 23, 17, false, 0}}}},
	    {"interlaced", {19, 21, 64, 3, {{0, 0, 19, 21, true, 0}}}},
	    {"image with background around it, a later one not drawn",
	     {20, 15, 256, 9, {{2, 3, 10, 6, false, 0}, {5, 9, 4, 4, true, 0}}}},
	    {"first image's own colour map", {20, 15, 256, 1, {{0, 0, 20, 15, false, 16}, {3, 2, 6, 5, false, 32}}}},
	    {"a later image's colour map does not colour the first",
	     {20, 15, 256, 1, {{0, 0, 20, 15, false, 0}, {3, 2, 6, 5, false, 16}, {1, 1, 4, 4, false, 64}}}},
	    {"image larger than the screen is clipped", {16, 12, 32, 2, {{10, 8, 12, 9, true, 0}}}},
	    {"no colour map gives the grey ramp", {9, 7, 0, 5, {{1, 1, 8, 6, false, 0}}}},
	};
	for (const auto &[name, layout] : cases) {
		SCOPED_TRACE(name);
		Bytes gif;
		if (layout.globalColors)
			gif = WriteGif(layout);
		else {
			// giflib writes no file without a colour map: write one with a
			// 256-entry map and take it out
			GifSpec withMap = layout;
			withMap.globalColors = 256;
			gif = WriteGif(withMap);
			gif[10] &= 0x7f;
			gif.erase(gif.begin() + 13, gif.begin() + 13 + 3 * 256);
		}
		CWinBmp bmp;
		magick::DecodeBytes(gif, bmp);
		EXPECT_TRUE(magick::SamePixels(bmp, Expected(layout), true));
	}
}

TEST(GifDecoder, NaturalDepthIsEightBitsWithTheColourMap)
{
	GifSpec layout{12, 10, 128, 0, {{0, 0, 12, 10, false, 0}}};
	CWinBmp bmp;
	magick::DecodeBytes(WriteGif(layout), bmp, 0);
	ASSERT_EQ(bmp.GetBitsPerPixel(), 8);
	EXPECT_EQ(bmp.GetLine(4)[7], IndexAt(0, 7, 4, 128));
	EXPECT_EQ(bmp.GetPalette()[100].GetR(), MapColor(0, 100).Red);
	EXPECT_EQ(bmp.GetPalette()[200].GetR(), 200);   // beyond the map: grey
}

TEST(GifDecoder, ImageMagickFilesMatchImageMagicksDecode)
{
	std::string pam = magick::WritePam("gif_src", 45, 33, magick::Pattern(45, 33, false), false);
	for (const char *options : {"-colors 50", "-colors 200 -interlace GIF", "-colors 2"}) {
		SCOPED_TRACE(options);
		EXPECT_TRUE(magick::ConvertAndCompare(pam, options, ".gif", false));
	}
	std::remove(pam.c_str());
}

int DecodeError(const Bytes &data)
{
	CWinBmp bmp;
	CAnyPicDecoder decoder;
	return magick::DecodeError(decoder, data, bmp);
}

TEST(GifDecoder, TruncatedFileGivesCodeEleven)
{
	GifSpec layout{30, 20, 256, 0, {{0, 0, 30, 20, false, 0}}};
	Bytes gif = WriteGif(layout);
	for (size_t keep : {(size_t)8, (size_t)12, (size_t)800, gif.size() / 2, gif.size() - 3}) {
		SCOPED_TRACE(keep);
		EXPECT_EQ(DecodeError(Bytes(gif.begin(), gif.begin() + (long)keep)), 11);
	}
}

TEST(GifDecoder, AnimationShowsItsFirstFrameAsImageMagickDoes)
{
	// ImageMagick's own animation: the first frame in the screen's colour
	// map, the later ones in maps of their own
	std::string anim = magick::TempPath("anim.gif");
	magick::Run("/usr/bin/convert -size 24x18 gradient:red-yellow gradient:blue-cyan xc:green -set delay 10 '" + anim +
	            "'");
	const Bytes file = magick::ReadFile(anim);
	ASSERT_EQ(file[10] & 0x80, 0x80);
	CWinBmp bmp;
	magick::DecodeFile(anim, bmp);
	EXPECT_TRUE(magick::SamePixels(bmp, magick::Decode(anim, "", "-delete 1--1"), false));
	std::remove(anim.c_str());
}

// Headers that claim a screen the data can't fill, or one above the picture
// limit, are refused before the bitmap is made.
TEST(GifDecoder, TinyFilesClaimingHugePicturesAreRefused)
{
	auto header = [](int w, int h) {
		Bytes g = {'G', 'I', 'F', '8', '9', 'a', (uint8_t)w, (uint8_t)(w >> 8), (uint8_t)h, (uint8_t)(h >> 8), 0, 0, 0};
		return g;
	};
	Bytes tiny = header(4000, 4000);
	tiny.insert(tiny.end(), {0x21, 0xF9, 0x00, 0x00, 0x00, 0x00, 0x3B});   // 20 bytes
	ASSERT_EQ(tiny.size(), 20u);
	Bytes huge = header(16384, 16383);
	huge.push_back(0x3B);
	EXPECT_EQ(DecodeError(tiny), 11);
	EXPECT_EQ(DecodeError(huge), 11);

	// A real image on a screen beyond the limit, with data enough for it
	GifSpec layout{12000, 11200, 4, 0, {{0, 0, 8, 8, false, 0}}};
	Bytes big = WriteGif(layout);
	Bytes comment = {0x21, 0xFE};
	for (int i = 0; i < 1000; ++i) {
		comment.push_back(255);
		comment.insert(comment.end(), 255, 'x');
	}
	comment.push_back(0);
	big.insert(big.end() - 1, comment.begin(), comment.end());
	EXPECT_EQ(DecodeError(big), 10);
}

TEST(GifDecoder, CorruptDataStopsWithAnError)
{
	GifSpec layout{30, 20, 4, 0, {{0, 0, 30, 20, false, 0}}};
	Bytes gif = WriteGif(layout);
	const size_t dataStart = 13 + 12 + 10;   // header, 4-entry map, image descriptor
	// an LZW minimum code size the format does not allow
	Bytes badCodeSize = gif;
	badCodeSize[dataStart] = 15;
	EXPECT_NE(DecodeError(badCodeSize), 0);
	// an unknown record in place of the image
	Bytes badRecord = gif;
	badRecord[13 + 12] = 0x55;
	EXPECT_EQ(DecodeError(badRecord), 2);
}

} // namespace
