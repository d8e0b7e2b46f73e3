#include "picture/pictdecoder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "picture/picsource.h"
#include "tests/picture/picture_magick.h"

namespace {

using magick::Bytes;
using magick::Picture;

// Builds a PICT file: 512 bytes of header, size, frame, version, opcodes.
class PictWriter
{
public:
	explicit PictWriter(int version = 2) : data(512, 0)
	{
		Word(0);
		Rect(0, 0, 10, 10);
		if (version == 2) {
			Word(0x0011);
			Word(0x02FF);
			Word(0x0C00);
			data.resize(data.size() + 24, 0);
		}
		else {
			Byte(0x11);
			Byte(0x01);
		}
	}
	void Byte(int b) { data.push_back((uint8_t)b); }
	void Word(int w)
	{
		Byte(w >> 8);
		Byte(w);
	}
	void Long(uint32_t v)
	{
		Word((int)(v >> 16));
		Word((int)(v & 0xFFFF));
	}
	void Rect(int top, int left, int bottom, int right)
	{
		Word(top);
		Word(left);
		Word(bottom);
		Word(right);
	}
	void Bytes_(const Bytes &b) { data.insert(data.end(), b.begin(), b.end()); }
	void Align()
	{
		if ((data.size() - 512) & 1)
			Byte(0);
	}
	// The pixel-map fields after the row-bytes word.
	void PixMap(int width, int height, int packType, int pixelSize, int cmpCount, int cmpSize)
	{
		Rect(0, 0, height, width);
		Word(0);
		Word(packType);
		Long(0);
		Long(0x00480000);
		Long(0x00480000);
		Word(pixelSize > 8 ? 16 : 0);
		Word(pixelSize);
		Word(cmpCount);
		Word(cmpSize);
		Long(0);
		Long(0);
		Long(0);
	}
	// A colour table whose entry i is Colour(i).
	void ColourTable(int n, bool deviceOrder)
	{
		Long(0);
		Word(deviceOrder ? 0x8000 : 0);
		Word(n - 1);
		for (int i = n - 1; i >= 0; --i) {
			Word(deviceOrder ? 0 : i);
			CPixel32 c = Colour(deviceOrder ? n - 1 - i : i);
			Word(c.GetR() * 257);
			Word(c.GetG() * 257);
			Word(c.GetB() * 257);
		}
	}
	static CPixel32 Colour(int i) { return CPixel32((uint8_t)(i * 20), (uint8_t)(250 - i * 7), (uint8_t)(i * 3 + 1), 255); }
	Bytes data;
};

// PackBits of one row: literal runs of at most 128 bytes.
Bytes PackRow(const Bytes &row)
{
	Bytes out;
	for (size_t i = 0; i < row.size(); i += 128) {
		size_t n = std::min<size_t>(128, row.size() - i);
		out.push_back((uint8_t)(n - 1));
		out.insert(out.end(), row.begin() + (long)i, row.begin() + (long)(i + n));
	}
	return out;
}

void PackedRows(PictWriter &w, int rowBytes, const std::vector<Bytes> &rows)
{
	for (const Bytes &r : rows) {
		Bytes p = PackRow(r);
		if (rowBytes > 250)
			w.Word((int)p.size());
		else
			w.Byte((int)p.size());
		w.Bytes_(p);
	}
}

int IndexAt(int x, int y, int colours) { return (x * 3 + y) % colours; }

// Vector opcodes that the decoder passes over before the bitmap.
void VectorPrelude(PictWriter &w)
{
	w.Word(0x0001);   // clip rectangle
	w.Word(10);
	w.Rect(0, 0, 10, 10);
	w.Word(0x001E);   // default highlight
	w.Word(0x00A1);   // long comment
	w.Word(100);
	w.Word(3);
	w.Byte(1);
	w.Byte(2);
	w.Byte(3);
	w.Align();
	w.Word(0x0028);   // long text
	w.Long(0);
	w.Byte(2);
	w.Byte('h');
	w.Byte('i');
	w.Align();
	w.Word(0x0031);   // paint rectangle
	w.Rect(1, 1, 5, 5);
	w.Word(0x0070);   // frame polygon
	w.Word(10 + 4);
	w.Rect(0, 0, 3, 3);
	w.Word(1);
	w.Word(2);
	w.Word(0x0009);   // pen pattern
	w.Long(0);
	w.Long(0);
	w.Word(0x0012);   // background pixel pattern, dither type
	w.Word(2);
	w.Long(0);
	w.Long(0);
	w.Bytes_(Bytes(5, 0));
	w.Align();
	w.Word(0x00A0);   // short comment
	w.Word(7);
}

Bytes IndexedPict(int width, int height, int pixelSize, bool region, bool deviceOrder)
{
	PictWriter w;
	VectorPrelude(w);
	const int colours = 1 << pixelSize;
	const int rowBytes = std::max(8, ((width * pixelSize + 15) / 16) * 2);
	w.Word(region ? 0x0099 : 0x0098);
	w.Word(0x8000 | rowBytes);
	w.PixMap(width, height, 0, pixelSize, 1, pixelSize);
	w.ColourTable(colours, deviceOrder);
	w.Rect(0, 0, height, width);
	w.Rect(0, 0, height, width);
	w.Word(0);
	if (region) {
		w.Word(10);
		w.Rect(0, 0, height, width);
	}
	std::vector<Bytes> rows;
	for (int y = 0; y < height; ++y) {
		Bytes r((size_t)rowBytes, 0);
		for (int x = 0; x < width; ++x) {
			int bit = x * pixelSize;
			r[(size_t)bit / 8] |= (uint8_t)(IndexAt(x, y, colours) << (8 - pixelSize - bit % 8));
		}
		rows.push_back(r);
	}
	PackedRows(w, rowBytes, rows);
	w.Align();
	w.Word(0x00FF);
	return w.data;
}

CWinBmp DecodePict(const Bytes &data, int bpp = 32)
{
	CWinBmp bmp;
	CAnyPicDecoder any;
	any.MakeBmpFromMemory(data.data(), (int)data.size(), &bmp, bpp);
	return bmp;
}

TEST(PictDecoder, IndexedPixelMapsAfterVectorOpcodes)
{
	struct Case
	{
		const char *name;
		int width, height, pixelSize;
		bool region, deviceOrder;
	};
	const Case cases[] = {
	    {"8 bits", 13, 6, 8, false, false},
	    {"4 bits with a region", 9, 5, 4, true, false},
	    {"2 bits, device order", 21, 3, 2, false, true},
	    {"1 bit, wide row", 300, 2, 1, false, false},
	    {"8 bits, rows above 250 bytes", 260, 3, 8, false, false},
	};
	for (const Case &c : cases) {
		SCOPED_TRACE(c.name);
		CWinBmp bmp = DecodePict(IndexedPict(c.width, c.height, c.pixelSize, c.region, c.deviceOrder));
		ASSERT_EQ(bmp.GetWidth(), c.width);
		ASSERT_EQ(bmp.GetHeight(), c.height);
		for (int y = 0; y < c.height; ++y)
			for (int x = 0; x < c.width; ++x)
				ASSERT_EQ(bmp.GetPixel(x, y), PictWriter::Colour(IndexAt(x, y, 1 << c.pixelSize))) << x << "," << y;
	}

	// at 8 bits the indices stay, with the colour table as palette
	CWinBmp eight = DecodePict(IndexedPict(13, 6, 8, false, false), 0);
	ASSERT_EQ(eight.GetBitsPerPixel(), 8);
	EXPECT_EQ(eight.GetLine(2)[5], IndexAt(5, 2, 256));
	EXPECT_EQ(eight.GetPalette()[77], PictWriter::Colour(77));
}

TEST(PictDecoder, DirectPixelMaps)
{
	const int width = 11, height = 4;
	for (int comps : {3, 4}) {
		SCOPED_TRACE(comps);
		PictWriter w;
		w.Word(0x009A);
		w.Long(0xFF);
		w.Word(0x8000 | (width * 4));
		w.PixMap(width, height, 4, 32, comps, 8);
		w.Rect(0, 0, height, width);
		w.Rect(0, 0, height, width);
		w.Word(0);
		std::vector<Bytes> rows;
		for (int y = 0; y < height; ++y) {
			Bytes r;
			for (int c = 0; c < comps; ++c)
				for (int x = 0; x < width; ++x)
					r.push_back((uint8_t)(x * 20 + y * 3 + c * 50));
			rows.push_back(r);
		}
		PackedRows(w, width * 4, rows);
		w.Align();
		w.Word(0x00FF);
		CWinBmp bmp = DecodePict(w.data);
		EXPECT_EQ(bmp.HasAlpha(), comps == 4);
		for (int y = 0; y < height; ++y) {
			for (int x = 0; x < width; ++x) {
				auto v = [&](int c) { return (uint8_t)(x * 20 + y * 3 + c * 50); };
				CPixel32 expected = comps == 4 ? CPixel32(v(1), v(2), v(3), v(0)) : CPixel32(v(0), v(1), v(2), 255);
				ASSERT_EQ(bmp.GetPixel(x, y), expected) << x << "," << y;
			}
		}
	}

	// 16 bits: 5-5-5, each item of the run-length data one pixel
	PictWriter w;
	w.Word(0x009A);
	w.Long(0xFF);
	w.Word(0x8000 | 16);
	w.PixMap(8, 2, 3, 16, 3, 5);
	w.Rect(0, 0, 2, 8);
	w.Rect(0, 0, 2, 8);
	w.Word(0);
	for (int y = 0; y < 2; ++y) {
		// a run of 8 copies of one pixel: red 31, green y, blue 1
		w.Byte(3);
		w.Byte(256 - 7);
		w.Word((31 << 10) | (y << 5) | 1);
	}
	w.Word(0x00FF);
	CWinBmp bmp = DecodePict(w.data);
	EXPECT_EQ(bmp.GetPixel(7, 1), CPixel32(248, 8, 8, 255));
}

TEST(PictDecoder, VersionOneBitmapIsBlackOnWhite)
{
	PictWriter w(1);
	w.Byte(0x01);   // clip rectangle
	w.Word(10);
	w.Rect(0, 0, 3, 12);
	w.Byte(0x90);
	w.Word(2);   // row bytes below 8: rows stored as they are
	w.Rect(0, 0, 3, 12);
	w.Rect(0, 0, 3, 12);
	w.Rect(0, 0, 3, 12);
	w.Word(0);
	const uint8_t rows[3][2] = {{0xF0, 0x00}, {0x0F, 0xF0}, {0xAA, 0x50}};
	for (auto &r : rows) {
		w.Byte(r[0]);
		w.Byte(r[1]);
	}
	w.Byte(0xFF);
	w.data.resize(std::max<size_t>(w.data.size(), 560), 0);
	CWinBmp bmp = DecodePict(w.data);
	for (int y = 0; y < 3; ++y) {
		for (int x = 0; x < 12; ++x) {
			bool set = (rows[y][x / 8] >> (7 - x % 8)) & 1;
			ASSERT_EQ(bmp.GetPixel(x, y), set ? CPixel32(0, 0, 0, 255) : CPixel32(255, 255, 255, 255)) << x << "," << y;
		}
	}
}

TEST(PictDecoder, ImageMagickFilesDecodeToImageMagicksPixels)
{
	const int w = 37, h = 19;
	std::string pam = magick::WritePam("pict_src", w, h, magick::Pattern(w, h, false), false);
	for (const char *options : {"-type TrueColor", "-colors 40", "-colors 200"}) {
		SCOPED_TRACE(options);
		// colour tables hold 16-bit values, of which the decoder takes the high
		// byte and ImageMagick the rounded quotient by 257
		const int tolerance = options[1] == 'c' ? 1 : 0;
		EXPECT_TRUE(magick::ConvertAndCompare(pam, options, ".pict", false, tolerance));
	}
	std::remove(pam.c_str());
}

Bytes QuickTimePict(const Bytes &payload)
{
	PictWriter w;
	w.Word(0x8200);
	w.Long((uint32_t)payload.size());
	w.Bytes_(payload);
	w.Align();
	w.Word(0x00FF);
	return w.data;
}

TEST(PictDecoder, QuickTimeJpegGoesToTheJpegDecoder)
{
	const int width = 24, height = 16;
	std::string pam = magick::WritePam("pict_jpeg_src", width, height, magick::Pattern(width, height, false), false);
	std::string jpgPath = magick::TempPath("pict.jpg");
	magick::Run("/usr/bin/convert '" + pam + "' -quality 90 '" + jpgPath + "'");
	Bytes jpg = magick::ReadFile(jpgPath);
	Bytes payload(68, 0x11);   // the image description before the data
	payload.insert(payload.end(), jpg.begin(), jpg.end());

	CWinBmp fromPict = DecodePict(QuickTimePict(payload)), direct;
	magick::DecodeBytes(jpg, direct);
	ASSERT_EQ(fromPict.GetWidth(), width);
	for (int y = 0; y < height; ++y)
		for (int x = 0; x < width; ++x)
			ASSERT_EQ(fromPict.GetPixel(x, y), direct.GetPixel(x, y));

	CWinBmp bmp;
	CPictDecoder alone;
	EXPECT_EQ(magick::DecodeError(alone, QuickTimePict(payload), bmp), 6);
	CAnyPicDecoder any;
	EXPECT_EQ(magick::DecodeError(any, QuickTimePict(Bytes(600, 0x22)), bmp), 6);
	std::remove(pam.c_str());
	std::remove(jpgPath.c_str());
}

TEST(PictDecoder, BadFilesGiveTheirCodes)
{
	struct Case
	{
		const char *name;
		Bytes file;
		int code;
	};
	std::vector<Case> cases;
	{
		PictWriter w;
		VectorPrelude(w);
		w.Word(0x00FF);
		cases.push_back({"only vector data", w.data, 6});
	}
	{
		Bytes b = IndexedPict(13, 6, 8, false, false);
		b[522] = 0x12;
		cases.push_back({"version missing", b, 1});
		b = IndexedPict(13, 6, 8, false, false);
		b[524] = 0x03;
		cases.push_back({"illegal version", b, 1});
	}
	{
		PictWriter w;
		w.Word(0x0012);
		w.Word(7);
		w.data.resize(600, 0);
		cases.push_back({"unknown pattern type", w.data, 2});
	}
	{
		PictWriter w;
		w.Word(0x009A);
		w.Long(0xFF);
		w.Word(0x8000 | 40);
		w.PixMap(10, 2, 4, 24, 3, 8);
		w.Rect(0, 0, 2, 10);
		w.Rect(0, 0, 2, 10);
		w.Word(0);
		w.data.resize(700, 0);
		cases.push_back({"24 bits a pixel", w.data, 2});
	}
	{
		Bytes b = IndexedPict(13, 6, 8, false, false);
		b.resize(b.size() - 40);
		cases.push_back({"rows cut off", b, 11});
	}
	{
		// 16000 x 16000 pixels from a few bytes
		PictWriter w;
		w.Word(0x0098);
		w.Word(0x8000 | 16000);
		w.PixMap(16000, 16000, 0, 8, 1, 8);
		w.ColourTable(2, false);
		w.Rect(0, 0, 2, 2);
		w.Rect(0, 0, 2, 2);
		w.Word(0);
		w.data.resize(700, 0);
		cases.push_back({"huge bitmap without its data", w.data, 11});
	}
	{
		// colour table entry whose value is beyond the table
		PictWriter w;
		w.Word(0x0098);
		w.Word(0x8000 | 8);
		w.PixMap(4, 1, 0, 8, 1, 8);
		w.Long(0);
		w.Word(0);
		w.Word(0);
		w.Word(5);
		w.data.resize(700, 0);
		cases.push_back({"colour value beyond the table", w.data, 2});
	}
	for (const Case &c : cases) {
		SCOPED_TRACE(c.name);
		CWinBmp bmp;
		CAnyPicDecoder any;
		CPictDecoder pict(&any);
		EXPECT_EQ(magick::DecodeError(pict, c.file, bmp), c.code);
	}
}

TEST(PictDecoder, RunsAreKeptInsideTheRow)
{
	// rows of 8 bytes whose run-length data asks for far more
	PictWriter w;
	w.Word(0x0098);
	w.Word(0x8000 | 8);
	w.PixMap(8, 2, 0, 8, 1, 8);
	w.ColourTable(256, false);
	w.Rect(0, 0, 2, 8);
	w.Rect(0, 0, 2, 8);
	w.Word(0);
	for (int y = 0; y < 2; ++y) {
		w.Byte(6);
		w.Byte(0x81);   // 128 copies
		w.Byte(9);
		w.Byte(0x81);
		w.Byte(10);
		w.Byte(127);   // 128 literal bytes promised, one given
		w.Byte(11);
	}
	w.Word(0x00FF);
	CWinBmp bmp = DecodePict(w.data);
	EXPECT_EQ(bmp.GetPixel(7, 1), PictWriter::Colour(9));
}

} // namespace
