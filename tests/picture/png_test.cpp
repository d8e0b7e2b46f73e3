#include "picture/png.h"

#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "picture/inflate.h"
#include "picture/picture_state.h"
#include "picture/pictrace.h"
#include "picture/winbmp.h"
#include "tests/picture/png_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;
using pngtest::PngSpec;
using pngtest::EncodePng;
using pngtest::LibpngDecode;
using pngtest::MakeSpec;

void WriteFile(const std::string &path, const Bytes &data)
{
	FILE *f = fopen(path.c_str(), "wb");
	ASSERT_TRUE(f);
	fwrite(data.data(), 1, data.size(), f);
	fclose(f);
}

struct Format
{
	int colorType, bitDepth;
};

// Every colour type and depth the decoder handles.
const Format supported[] = {{0, 1}, {0, 8}, {2, 8}, {2, 16}, {3, 4}, {3, 8}, {4, 8}, {6, 8}};

const int filters[] = {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG, PNG_FILTER_PAETH};

// Compares our RGBA output with libpng's: red, green and blue always, alpha
// where the picture has it.
void ExpectSamePixels(const Bytes &png, const PngSpec &layout)
{
	YsRawPngDecoder dec;
	ASSERT_EQ(dec.Decode(png.data(), png.size()), 1);
	ASSERT_EQ(dec.wid, layout.width);
	ASSERT_EQ(dec.hei, layout.height);
	Bytes ref = LibpngDecode(png);
	ASSERT_EQ(ref.size(), dec.rgba.size());
	bool alpha = layout.colorType == 4 || layout.colorType == 6;
	for (size_t i = 0; i < ref.size(); ++i) {
		if (i % 4 == 3 && !alpha)
			continue;
		if (ref[i] != dec.rgba[i]) {
			size_t p = i / 4;
			FAIL() << "pixel (" << p % layout.width << "," << p / layout.width << ") channel " << i % 4 << ": "
			       << int(dec.rgba[i]) << " instead of " << int(ref[i]);
		}
	}
	EXPECT_EQ(YsPngHuffmanTree::leakTracker, 0);
}

TEST(PngDecoder, SmallSizesMatchLibpngForEveryFormatFilterAndInterlace)
{
	for (const Format &f : supported) {
		for (int interlace : {0, 1}) {
			for (int w = 1; w <= 9; ++w) {
				for (int h = 1; h <= 9; ++h) {
					PngSpec layout = MakeSpec(w, h, f.colorType, f.bitDepth);
					layout.interlace = interlace;
					layout.filter = filters[(w * 9 + h) % 5];
					SCOPED_TRACE(testing::Message() << "type " << f.colorType << " depth " << f.bitDepth
					                                << " interlace " << interlace << " size " << w << "x" << h);
					ExpectSamePixels(EncodePng(layout), layout);
				}
			}
		}
	}
}

TEST(PngDecoder, LargerPictureMatchesLibpngWithEachFilterAndSmallIdatChunks)
{
	for (const Format &f : supported) {
		for (int interlace : {0, 1}) {
			for (int filter : filters) {
				PngSpec layout = MakeSpec(67, 45, f.colorType, f.bitDepth);
				layout.interlace = interlace;
				layout.filter = filter;
				layout.idatChunk = filter == PNG_FILTER_PAETH ? 16 : 0;
				layout.coarse = interlace == 1;
				SCOPED_TRACE(testing::Message() << "type " << f.colorType << " depth " << f.bitDepth
				                                << " interlace " << interlace << " filter " << filter);
				Bytes png = EncodePng(layout);
				if (layout.idatChunk) {
					EXPECT_GT(pngtest::CountChunks(png, "IDAT"), 4);
				}
				ExpectSamePixels(png, layout);
			}
		}
	}
}

TEST(PngDecoder, StoredOnlyStreamDecodesLikeACompressedOne)
{
	PngSpec layout = MakeSpec(40, 30, 2, 8);
	layout.filter = PNG_FILTER_PAETH;
	layout.compressionLevel = 0;
	ExpectSamePixels(EncodePng(layout), layout);
}

TEST(PngDecoder, UnsupportedFormatsGiveNoPixels)
{
	const Format unsupported[] = {{0, 2}, {0, 4}, {0, 16}, {3, 1}, {3, 2}, {4, 16}, {6, 16}};
	for (const Format &f : unsupported) {
		PngSpec layout = MakeSpec(5, 4, f.colorType, f.bitDepth);
		YsRawPngDecoder dec;
		Bytes png = EncodePng(layout);
		EXPECT_EQ(dec.Decode(png.data(), png.size()), 1);
		EXPECT_EQ(dec.wid, 0);
		EXPECT_EQ(dec.hei, 0);
		EXPECT_TRUE(dec.rgba.empty());
	}
}

TEST(PngDecoder, RefusesMissingSignatureAndBadPalette)
{
	PngSpec layout = MakeSpec(4, 4, 3, 8);
	Bytes png = EncodePng(layout);
	Bytes noSig = png;
	noSig[1] = 'Q';
	YsRawPngDecoder dec;
	EXPECT_EQ(dec.Decode(noSig.data(), noSig.size()), -1);
	EXPECT_EQ(dec.Decode(png.data(), 7), -1);

	// PLTE of 4 bytes
	Bytes bad = pngtest::ReplaceChunk(png, "PLTE", Bytes{1, 2, 3, 4});
	EXPECT_EQ(dec.Decode(bad.data(), bad.size()), -1);

	EXPECT_EQ(dec.Decode("/nonexistent/folder/x.png"), -1);
}

TEST(PngDecoder, DecodesFromAFile)
{
	PngSpec layout = MakeSpec(13, 7, 6, 8);
	Bytes png = EncodePng(layout);
	std::string path = testing::TempDir() + "pic2_png_file_" + std::to_string(getpid()) + ".png";
	WriteFile(path, png);
	YsRawPngDecoder fromFile, fromMemory;
	EXPECT_EQ(fromFile.Decode(path.c_str()), 1);
	fromMemory.Decode(png.data(), png.size());
	EXPECT_EQ(fromFile.rgba, fromMemory.rgba);
	remove(path.c_str());
}

// Malformed files: none may read or write out of bounds (the sanitizers
// watch), and each ends as a failure with no or partial pixels.
TEST(PngDecoder, MalformedFilesEndSafely)
{
	PngSpec layout = MakeSpec(21, 17, 2, 8);
	layout.filter = PNG_FILTER_SUB;
	const Bytes good = EncodePng(layout);
	const Bytes ref = LibpngDecode(good);

	struct Case
	{
		const char *name;
		Bytes file;
		int expectedWidth;
	};
	std::vector<Case> cases;
	{
		// IDAT length far beyond the data: the chunk walk ends before it
		Bytes b = good;
		size_t at = pngtest::FindChunk(b, "IDAT");
		b[at] = 0x7f;
		cases.push_back({"chunk length beyond the data", b, 0});
	}
	{
		Bytes hdr = pngtest::ChunkData(good, "IHDR");
		hdr[0] = 0x40;   // width 2^30 + 21: width x height x 4 far above 32 bits
		cases.push_back({"huge width", pngtest::ReplaceChunk(good, "IHDR", hdr), 0});
		Bytes hdr2 = pngtest::ChunkData(good, "IHDR");
		hdr2[0] = 0;
		hdr2[1] = 0;
		hdr2[2] = 0;
		hdr2[3] = 0;
		cases.push_back({"zero width", pngtest::ReplaceChunk(good, "IHDR", hdr2), 0});
	}
	// no data or too little to inflate to the rows: refused before any output
	cases.push_back({"IDAT of 0 bytes", pngtest::ReplaceChunk(good, "IDAT", Bytes{}), 0});
	cases.push_back({"IDAT of 1 byte", pngtest::ReplaceChunk(good, "IDAT", Bytes{0x78}), 0});
	{
		Bytes idat = pngtest::ChunkData(good, "IDAT");
		idat.resize(idat.size() / 2);
		cases.push_back({"IDAT cut in half", pngtest::ReplaceChunk(good, "IDAT", idat), 21});
	}
	{
		Bytes b(good.begin(), good.begin() + good.size() - 40);
		cases.push_back({"file cut inside IDAT", b, 0});
	}
	{
		Bytes hdr = pngtest::ChunkData(good, "IHDR");
		hdr[12] = 2;   // interlace method 2
		cases.push_back({"unknown interlace method", pngtest::ReplaceChunk(good, "IHDR", hdr), 21});
	}

	for (const Case &c : cases) {
		SCOPED_TRACE(c.name);
		YsRawPngDecoder dec;
		EXPECT_EQ(dec.Decode(c.file.data(), c.file.size()), 1);
		EXPECT_EQ(dec.wid, c.expectedWidth);
		EXPECT_EQ(YsPngHuffmanTree::leakTracker, 0);
	}

	// a cut stream keeps the rows it got, and they are right
	Bytes idat = pngtest::ChunkData(good, "IDAT");
	idat.resize(idat.size() * 2 / 3);
	Bytes cut = pngtest::ReplaceChunk(good, "IDAT", idat);
	YsRawPngDecoder dec;
	dec.Decode(cut.data(), cut.size());
	size_t firstRows = 4 * 21 * 4;
	ASSERT_EQ(dec.rgba.size(), ref.size());
	for (size_t i = 0; i < firstRows; ++i) {
		if (i % 4 != 3) {
			ASSERT_EQ(dec.rgba[i], ref[i]) << i;
		}
	}
}

// A small file claiming a huge picture is refused before anything is
// allocated: inflate makes at most 1032 bytes of a byte of data.
TEST(PngDecoder, TinyFilesClaimingHugePicturesAreRefused)
{
	auto withSize = [](unsigned w, unsigned h, int colorType, const Bytes &idat) {
		Bytes ihdr = {(uint8_t)(w >> 24), (uint8_t)(w >> 16), (uint8_t)(w >> 8), (uint8_t)w,
		              (uint8_t)(h >> 24), (uint8_t)(h >> 16), (uint8_t)(h >> 8), (uint8_t)h,
		              8, (uint8_t)colorType, 0, 0, 0};
		Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
		for (const Bytes &chunk : {pngtest::MakeChunk("IHDR", ihdr), pngtest::MakeChunk("IDAT", idat),
		                           pngtest::MakeChunk("IEND", Bytes{})})
			png.insert(png.end(), chunk.begin(), chunk.end());
		return png;
	};
	const Bytes tinyData = pngtest::DeflateBytes(Bytes(10, 0));
	ASSERT_LE(tinyData.size(), 12u);
	const Bytes tiny = withSize(16384, 16383, 6, tinyData);
	EXPECT_LE(tiny.size(), 69u);
	// Data enough for the rows, a picture above the limit of 2^27 pixels.
	const Bytes big = withSize(11586, 11586, 0, Bytes(140000, 0));
	for (const Bytes *png : {&tiny, &big}) {
		YsRawPngDecoder dec;
		EXPECT_EQ(dec.Decode(png->data(), png->size()), 1);
		EXPECT_EQ(dec.wid, 0);
		EXPECT_TRUE(dec.rgba.empty());
		CWinBmp bmp;
		MakeBmpFromPNGData(png->data(), png->size(), &bmp, 32);
		EXPECT_EQ(bmp.GetWidth(), 0);
		EXPECT_EQ(bmp.GetHeight(), 0);
	}

	// The most compressible picture zlib can make still decodes.
	Bytes raw((size_t)1000 * 3001, 0);
	Bytes png = pngtest::ReplaceChunk(EncodePng(MakeSpec(3000, 1000, 0, 8)), "IDAT", pngtest::DeflateBytes(raw));
	ASSERT_GT(raw.size() / pngtest::ChunkData(png, "IDAT").size(), 1000u);
	YsRawPngDecoder dec;
	dec.Decode(png.data(), png.size());
	ASSERT_EQ(dec.wid, 3000);
	ASSERT_EQ(dec.hei, 1000);
	const uint8_t blackOpaque[4] = {0, 0, 0, 255};
	for (size_t i = 0; i < dec.rgba.size(); i += 4)
		ASSERT_EQ(memcmp(&dec.rgba[i], blackOpaque, 4), 0) << i;
}

// The decoder's and the inflate's lines go to the library's trace, which is
// off unless a trace file and level are set.
TEST(PngDecoder, TraceLinesGoToTheTraceFileOnlyWhenOneIsSet)
{
	PngSpec layout = MakeSpec(9, 6, 3, 8);
	layout.interlace = 1;
	const Bytes png = EncodePng(layout);
	testing::internal::CaptureStdout();
	testing::internal::CaptureStderr();
	YsRawPngDecoder quiet;
	quiet.Decode(png.data(), png.size());
	EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
	EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

	const std::string trace = testing::TempDir() + "pic2_png_trace_" + std::to_string(getpid()) + ".txt";
	remove(trace.c_str());
	PLSetTraceFile(trace.c_str());
	PLSetTraceLevel(2);
	YsRawPngDecoder traced;
	traced.Decode(png.data(), png.size());
	ResetPictureState();
	FILE *f = fopen(trace.c_str(), "rb");
	ASSERT_TRUE(f);
	std::string text;
	char buf[4096];
	for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;)
		text.append(buf, n);
	fclose(f);
	remove(trace.c_str());
	for (const char *line : {"Chunk name=IHDR\n", "Width=9 Height=6\n", "256 palette entries\n", "Interlace Pass 7\n",
	                         "Begin zLib block length=", "Huffman Tree Leak Tracker = 0\n", "Final Position ("})
		EXPECT_NE(text.find(line), std::string::npos) << line;
}

TEST(PngDecoder, ExcessDataAfterTheLastRowIsIgnored)
{
	PngSpec layout = MakeSpec(6, 5, 0, 8);
	const Bytes good = EncodePng(layout);
	Bytes raw = pngtest::InflateIdat(good, 5 * 7);
	raw.insert(raw.end(), 3 * 7, 0x55);   // three more rows than the header says
	Bytes longer = pngtest::ReplaceChunk(good, "IDAT", pngtest::DeflateBytes(raw));
	YsRawPngDecoder a, b;
	a.Decode(good.data(), good.size());
	b.Decode(longer.data(), longer.size());
	EXPECT_EQ(a.rgba, b.rgba);
	EXPECT_EQ(a.rgba, LibpngDecode(good));
}

TEST(PngDecoder, ReadsGammaAndTransparencyWithoutUsingThem)
{
	PngSpec layout = MakeSpec(3, 3, 2, 16);
	layout.gamma = 45455;
	layout.trnsRgb = true;
	Bytes png = EncodePng(layout);
	YsRawPngDecoder dec;
	dec.Decode(png.data(), png.size());
	EXPECT_EQ(dec.gamma, 45455u);
	EXPECT_EQ(dec.trns.col[0], 0x0102u);
	EXPECT_EQ(dec.trns.col[2], 0x0506u);
	ExpectSamePixels(png, layout);
}

} // namespace

namespace {

TEST(MakeBmpFromPNG, WidthIsPaddedToFourRepeatingTheLastColumn)
{
	PngSpec layout = MakeSpec(10, 3, 2, 8);
	Bytes png = EncodePng(layout);
	Bytes ref = LibpngDecode(png);
	CWinBmp bmp;
	MakeBmpFromPNGData(png.data(), png.size(), &bmp, 32);
	ASSERT_EQ(bmp.GetWidth(), 12);
	ASSERT_EQ(bmp.GetHeight(), 3);
	ASSERT_EQ(bmp.GetBitsPerPixel(), 32);
	EXPECT_TRUE(bmp.HasAlpha());
	for (int y = 0; y < 3; ++y) {
		for (int x = 0; x < 12; ++x) {
			const uint8_t *p = &ref[((size_t)y * 10 + std::min(x, 9)) * 4];
			ASSERT_EQ(bmp.GetPixel(x, y), CPixel32(p[0], p[1], p[2], 0)) << x << "," << y;
		}
	}
}

TEST(MakeBmpFromPNG, FailuresLeaveOneByOneOrEmptyBitmaps)
{
	CWinBmp bmp;
	MakeBmpFromPNG("/nonexistent/folder/picture.png", &bmp, 32);
	EXPECT_EQ(bmp.GetWidth(), 1);
	EXPECT_EQ(bmp.GetHeight(), 1);

	PngSpec grey16 = MakeSpec(5, 5, 0, 16);
	Bytes png = EncodePng(grey16);
	std::string path = testing::TempDir() + "pic2_grey16_" + std::to_string(getpid()) + ".png";
	WriteFile(path, png);
	MakeBmpFromPNG(path.c_str(), &bmp, 32);
	EXPECT_EQ(bmp.GetWidth(), 0);
	EXPECT_EQ(bmp.GetHeight(), 0);
	remove(path.c_str());
}

} // namespace
