#include "picture/pgmdecoder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/picture/picture_magick.h"

namespace {

using magick::Bytes;

Bytes Text(const std::string &s) { return Bytes(s.begin(), s.end()); }

TEST(PgmDecoder, ImageMagickFilesDecodeToImageMagicksPixels)
{
	const int w = 19, h = 11;
	std::string pam = magick::WritePam("pgm_src", w, h, magick::Pattern(w, h, false), false);
	// P5, P2, and P5 with the maximum 15
	for (const char *options : {"-colorspace Gray", "-colorspace Gray -compress None", "-colorspace Gray -depth 4"}) {
		SCOPED_TRACE(options);
		EXPECT_TRUE(magick::ConvertAndCompare(pam, options, ".pgm", true));
	}
	std::string p2 = magick::TempPath("p2.pgm"), p5 = magick::TempPath("p5.pgm");
	magick::Run("/usr/bin/convert '" + pam + "' -colorspace Gray -compress None '" + p2 + "'");
	magick::Run("/usr/bin/convert '" + pam + "' -colorspace Gray -depth 4 '" + p5 + "'");
	EXPECT_EQ(magick::ReadFile(p2)[1], '2');
	Bytes small = magick::ReadFile(p5);
	EXPECT_EQ(std::string(small.begin(), small.begin() + 12), "P5\n19 11\n15\n");
	std::remove(p2.c_str());
	std::remove(p5.c_str());
	std::remove(pam.c_str());
}

TEST(PgmDecoder, SmallMaximumStretchesToFullGrey)
{
	// maximum 15: 15 becomes 255, 7 becomes 119; comments and line ends between
	const Bytes p2 = Text("P2\n# made by hand\n3 2\r\n15\n0 7 15\n  1\n\n2 16\n");
	CWinBmp bmp;
	magick::DecodeBytes(p2, bmp, 0);
	ASSERT_EQ(bmp.GetBitsPerPixel(), 8);
	const uint8_t expected[2][3] = {{0, 119, 255}, {17, 34, 255}};   // 16 is above the maximum
	for (int y = 0; y < 2; ++y)
		for (int x = 0; x < 3; ++x)
			EXPECT_EQ(bmp.GetLine(y)[x], expected[y][x]) << x << "," << y;

	Bytes p5 = Text("P5 2 1 3\n");
	p5.insert(p5.end(), {2, 200});
	magick::DecodeBytes(p5, bmp);
	EXPECT_EQ(bmp.GetPixel(0, 0), CPixel32(170, 170, 170, 255));
	EXPECT_EQ(bmp.GetPixel(1, 0), CPixel32(255, 255, 255, 255));

	// a maximum outside 1..65535 counts as 255
	for (const char *head : {"P5 1 1 70000\n", "P5 1 1 0\n"}) {
		Bytes wide = Text(head);
		wide.push_back(77);
		magick::DecodeBytes(wide, bmp);
		EXPECT_EQ(bmp.GetPixel(0, 0).GetR(), 77) << head;
	}
}

TEST(PgmDecoder, MaximumAbove255TakesTwoByteSamplesScaledByTheMaximum)
{
	// P5: two bytes a sample, high byte first; v x 255 / maximum
	Bytes p5 = Text("P5 5 1 1000\n");
	p5.insert(p5.end(), {0, 0, 0x01, 0xF4, 0x03, 0xE8, 0x03, 0xE7, 0x07, 0xD0});   // 0 500 1000 999 2000
	CWinBmp bmp;
	magick::DecodeBytes(p5, bmp, 0);
	ASSERT_EQ(bmp.GetWidth(), 5);
	const uint8_t expected[5] = {0, 127, 255, 254, 255};   // 2000 is above the maximum
	for (int x = 0; x < 5; ++x)
		EXPECT_EQ(bmp.GetLine(0)[x], expected[x]) << x;

	// P2 reads the numbers whole
	magick::DecodeBytes(Text("P2 3 1 65535\n0 65535 32768\n"), bmp);
	EXPECT_EQ(bmp.GetPixel(0, 0), CPixel32(0, 0, 0, 255));
	EXPECT_EQ(bmp.GetPixel(1, 0), CPixel32(255, 255, 255, 255));
	EXPECT_EQ(bmp.GetPixel(2, 0), CPixel32(127, 127, 127, 255));

	// one byte a sample is half the data a maximum of 300 needs
	Bytes shortData = Text("P5 2 2 300\n");
	shortData.insert(shortData.end(), {1, 2, 3, 4});
	CPGMDecoder decoder;
	EXPECT_EQ(magick::DecodeError(decoder, shortData, bmp), 11);

	// ImageMagick's 16-bit files, raw and plain, of samples between the 8-bit
	// steps (it rounds where we cut)
	std::string src = magick::TempPath("pgm16_src.pgm");
	magick::Run("/usr/bin/convert -size 17x9 xc: -fx '(i*37+j*11)%97/96' -depth 16 '" + src + "'");
	Bytes srcBytes = magick::ReadFile(src);
	ASSERT_EQ(std::string(srcBytes.begin(), srcBytes.begin() + 14), "P5\n17 9\n65535\n");
	for (const char *options : {"-depth 16", "-depth 16 -compress None"}) {
		SCOPED_TRACE(options);
		EXPECT_TRUE(magick::ConvertAndCompare(src, options, ".pgm", true, 1));
	}
	std::remove(src.c_str());
}

TEST(PgmDecoder, BadFilesFailAndLeaveTheBitmap)
{
	const std::pair<Bytes, int> cases[] = {
	    {Text("P3 1 1 255\n1 2 3"), 2},
	    {Text("P5 4 4 255\nabc"), 11},
	    {Text("P5 60000 60000 255\n"), 11},
	    {Text("P2 3 3 255\n1 2 3 4"), 11},
	};
	for (const auto &[file, code] : cases) {
		SCOPED_TRACE(std::string(file.begin(), file.begin() + 10));
		CWinBmp bmp;
		bmp.Create(3, 4, 8, false);
		CPGMDecoder decoder;
		EXPECT_EQ(magick::DecodeError(decoder, file, bmp), code);
		if (code == 11 && file[1] == '5') {
			EXPECT_EQ(bmp.GetWidth(), 3);
		}
	}
}

} // namespace

namespace {

TEST(PgmDecoder, PictureWithoutColumnsIsEmpty)
{
	// no width, a huge height: nothing to read, no rows made
	CWinBmp bmp;
	magick::DecodeBytes(Text("P2\n\xb1 139363936\n9"), bmp);
	EXPECT_EQ(bmp.GetWidth(), 0);
	EXPECT_EQ(bmp.GetHeight(), 0);
}

} // namespace
