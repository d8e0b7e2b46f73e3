#include "picture/pcxdecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "tests/picture/picture_magick.h"

namespace {

using magick::Bytes;
using magick::Picture;

struct PcxSpec
{
	int width, height, bitsPerPixel, planes;
	int bytesPerLine = 0;   // 0: just enough, rounded to even
};

int BytesPerLine(const PcxSpec &s)
{
	return s.bytesPerLine ? s.bytesPerLine : ((s.width * s.bitsPerPixel + 7) / 8 + 1) & ~1;
}

CPixel32 HeaderColour(int i) { return CPixel32((uint8_t)(i * 16), (uint8_t)(255 - i * 9), (uint8_t)(i * 5 + 7), 255); }

int IndexAt(int x, int y, int colours) { return (x + 2 * y + x / 3) % colours; }

// A PCX file whose pixel (x, y) has the index IndexAt; the header palette
// holds HeaderColour. Each byte is written as a run of one.
Bytes EncodePcx(const PcxSpec &s)
{
	const int bpl = BytesPerLine(s);
	Bytes f(128, 0);
	f[0] = 10;
	f[1] = 5;
	f[2] = 1;
	f[3] = (uint8_t)s.bitsPerPixel;
	f[8] = (uint8_t)(s.width - 1);
	f[9] = (uint8_t)((s.width - 1) >> 8);
	f[10] = (uint8_t)(s.height - 1);
	f[11] = (uint8_t)((s.height - 1) >> 8);
	for (int i = 0; i < 16; ++i) {
		CPixel32 c = HeaderColour(i);
		f[16 + 3 * i] = c.GetR();
		f[17 + 3 * i] = c.GetG();
		f[18 + 3 * i] = c.GetB();
	}
	f[65] = (uint8_t)s.planes;
	f[66] = (uint8_t)bpl;
	f[67] = (uint8_t)(bpl >> 8);
	const int colours = 1 << (s.bitsPerPixel * s.planes);
	for (int y = 0; y < s.height; ++y) {
		Bytes row((size_t)bpl * s.planes, 0);
		for (int x = 0; x < s.width; ++x) {
			int index = IndexAt(x, y, colours);
			if (s.planes == 1) {
				int bit = x * s.bitsPerPixel;
				row[bit / 8] |= (uint8_t)(index << (8 - s.bitsPerPixel - bit % 8));
			}
			else
				for (int p = 0; p < s.planes; ++p)
					row[(size_t)p * bpl + x / 8] |= (uint8_t)(((index >> p) & 1) << (7 - x % 8));
		}
		for (uint8_t b : row) {
			f.push_back(0xC1);
			f.push_back(b);
		}
	}
	return f;
}

TEST(PcxDecoder, HandBuiltLayoutsDecodeThroughTheHeaderPalette)
{
	const std::pair<const char *, PcxSpec> cases[] = {
	    {"1 bit, 4 planes", {13, 7, 1, 4}},
	    {"1 bit, 3 planes", {9, 5, 1, 3}},
	    {"1 bit, 2 planes", {17, 4, 1, 2}},
	    {"2 bits", {11, 6, 2, 1}},
	    {"4 bits", {7, 9, 4, 1}},
	    {"4 bits, wide lines", {7, 3, 4, 1, 10}},
	};
	for (const auto &[name, layout] : cases) {
		SCOPED_TRACE(name);
		CWinBmp bmp;
		magick::DecodeBytes(EncodePcx(layout), bmp);
		ASSERT_EQ(bmp.GetWidth(), layout.width);
		ASSERT_EQ(bmp.GetHeight(), layout.height);
		const int colours = 1 << (layout.bitsPerPixel * layout.planes);
		for (int y = 0; y < layout.height; ++y)
			for (int x = 0; x < layout.width; ++x)
				ASSERT_EQ(bmp.GetPixel(x, y), HeaderColour(IndexAt(x, y, colours))) << x << "," << y;
	}
}

TEST(PcxDecoder, OneBitOnePlaneIsBlackAndWhiteUnlessTheHeaderTellsTheColoursApart)
{
	Bytes pcx = EncodePcx({10, 3, 1, 1});
	std::fill(pcx.begin() + 16, pcx.begin() + 64, 0);
	CWinBmp bmp;
	magick::DecodeBytes(pcx, bmp);
	for (int y = 0; y < 3; ++y)
		for (int x = 0; x < 10; ++x)
			ASSERT_EQ(bmp.GetPixel(x, y), IndexAt(x, y, 2) ? CPixel32(255, 255, 255, 255) : CPixel32(0, 0, 0, 255));

	// white as 0, as ImageMagick writes it
	std::fill(pcx.begin() + 16, pcx.begin() + 19, 255);
	magick::DecodeBytes(pcx, bmp);
	for (int y = 0; y < 3; ++y)
		for (int x = 0; x < 10; ++x)
			ASSERT_EQ(bmp.GetPixel(x, y), IndexAt(x, y, 2) ? CPixel32(0, 0, 0, 255) : CPixel32(255, 255, 255, 255));
}

TEST(PcxDecoder, ImageMagickFilesDecodeToImageMagicksPixels)
{
	const int w = 27, h = 14;
	std::string pam = magick::WritePam("pcx_src", w, h, magick::Pattern(w, h, false), false);
	std::string bilevel = magick::TempPath("pcx_src.bmp");
	magick::Run("/usr/bin/convert '" + pam + "' -monochrome BMP3:'" + bilevel + "'");
	struct Case
	{
		const char *name;
		std::string source;
		const char *options;
		int bitsPerPixel, planes;
	};
	const Case cases[] = {
	    {"1 bit", bilevel, "", 1, 1},
	    {"8 bits with palette", pam, "-colors 100", 8, 1},
	    {"24 bits", pam, "-type TrueColor", 8, 3},
	};
	for (const Case &c : cases) {
		SCOPED_TRACE(c.name);
		std::string pcx = magick::TempPath("im.pcx");
		magick::Run("/usr/bin/convert '" + c.source + "' " + c.options + " '" + pcx + "'");
		Bytes file = magick::ReadFile(pcx);
		ASSERT_EQ(file[3], c.bitsPerPixel);
		ASSERT_EQ(file[65], c.planes);
		CWinBmp bmp;
		magick::DecodeFile(pcx, bmp);
		EXPECT_TRUE(magick::SamePixels(bmp, magick::Decode(pcx), true));
		std::remove(pcx.c_str());
	}
	std::remove(pam.c_str());
	std::remove(bilevel.c_str());
}

TEST(PcxDecoder, BadFilesGiveTheirCodes)
{
	const Bytes good = EncodePcx({9, 4, 8, 1});
	struct Case
	{
		const char *name;
		Bytes file;
		int code;
	};
	std::vector<Case> cases;
	auto with = [&](size_t at, uint8_t v) {
		Bytes b = good;
		b[at] = v;
		return b;
	};
	cases.push_back({"manufacturer", with(0, 11), 1});
	cases.push_back({"encoding", with(2, 0), 1});
	cases.push_back({"five planes of 1 bit", EncodePcx({8, 2, 1, 5}), 2});
	cases.push_back({"3 bits a pixel", with(3, 3), 2});
	cases.push_back({"2 planes of 8 bits", with(65, 2), 2});
	cases.push_back({"3 planes of 4 bits", EncodePcx({8, 2, 4, 3}), 7});
	cases.push_back({"bytes per line below the width", with(66, 4), 2});
	{
		Bytes b = good;
		b[128] = 0xFF;   // a run of 63 in the first row of 10 bytes x 4 rows
		cases.push_back({"run past the end of the picture", b, 7});
	}
	{
		Bytes b = good;
		b.push_back(11);
		b.resize(b.size() + 768);
		cases.push_back({"colour map signature", b, 7});
	}
	cases.push_back({"colour map missing", good, 11});
	{
		Bytes b = good;
		b[10] = 0xFF;
		b[11] = 0x7F;   // 32768 rows from a few bytes
		cases.push_back({"data far too short", b, 11});
	}
	for (const Case &c : cases) {
		SCOPED_TRACE(c.name);
		CWinBmp bmp;
		CPCXDecoder decoder;
		EXPECT_EQ(magick::DecodeError(decoder, c.file, bmp), c.code);
	}
}

} // namespace
