#include "picture/tiffdecoder.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdio>
#include <string>

#include "picture/picsource.h"
#include "picture/textexception.h"
#include "tests/picture/picture_magick.h"

namespace {

using magick::Bytes;
using magick::Picture;

struct TiffSpec
{
	const char *name;
	int width = 29, height = 19;
	int bitsPerSample = 8, samplesPerPixel = 3;
	int photometric = PHOTOMETRIC_RGB;
	int compression = COMPRESSION_NONE;
	int tile = 0;   // > 0: tiles of that size
	bool alpha = false;
};

uint16_t SampleValue(const TiffSpec &s, int x, int y, int c)
{
	unsigned v = (unsigned)(x * 9 + y * 5 + c * 40 + (x ^ y) * 3);
	if (s.bitsPerSample == 16)
		return (uint16_t)(v * 257 + x);
	return (uint16_t)(v & ((1u << s.bitsPerSample) - 1));
}

// libtiff's own writer; returns the file's bytes.
Bytes WriteTiff(const TiffSpec &s)
{
	std::string path = magick::TempPath(std::string("w_") + s.name + ".tif");
	TIFF *t = TIFFOpen(path.c_str(), "w");
	TIFFSetField(t, TIFFTAG_IMAGEWIDTH, s.width);
	TIFFSetField(t, TIFFTAG_IMAGELENGTH, s.height);
	TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, s.bitsPerSample);
	TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, s.samplesPerPixel);
	TIFFSetField(t, TIFFTAG_PHOTOMETRIC, s.photometric);
	TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
	TIFFSetField(t, TIFFTAG_COMPRESSION, s.compression);
	if (s.alpha) {
		uint16_t extra = EXTRASAMPLE_ASSOCALPHA;
		TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &extra);
	}
	std::vector<uint16_t> r, g, b;
	if (s.photometric == PHOTOMETRIC_PALETTE) {
		int n = 1 << s.bitsPerSample;
		for (int i = 0; i < n; ++i) {
			r.push_back((uint16_t)(i * 4000 % 65536));
			g.push_back((uint16_t)(65535 - i * 300));
			b.push_back((uint16_t)(i * 257));
		}
		TIFFSetField(t, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
	}
	const int bits = s.bitsPerSample * s.samplesPerPixel;
	auto packRow = [&](int y, int x0, int w) {
		Bytes row((size_t)(w * bits + 7) / 8, 0);
		for (int x = 0; x < w; ++x) {
			for (int c = 0; c < s.samplesPerPixel; ++c) {
				uint16_t v = SampleValue(s, x0 + x, y, c);
				if (s.alpha && c == 3)
					v = 255;
				size_t i = (size_t)x * s.samplesPerPixel + c;
				if (s.bitsPerSample == 16)
					memcpy(&row[2 * i], &v, 2);
				else if (s.bitsPerSample == 8)
					row[i] = (uint8_t)v;
				else {
					size_t bit = i * s.bitsPerSample;
					row[bit / 8] |= (uint8_t)(v << (8 - s.bitsPerSample - bit % 8));
				}
			}
		}
		return row;
	};
	if (s.tile) {
		TIFFSetField(t, TIFFTAG_TILEWIDTH, s.tile);
		TIFFSetField(t, TIFFTAG_TILELENGTH, s.tile);
		for (int ty = 0; ty < s.height; ty += s.tile) {
			for (int tx = 0; tx < s.width; tx += s.tile) {
				Bytes tile;
				for (int y = ty; y < ty + s.tile; ++y) {
					Bytes row = packRow(y < s.height ? y : s.height - 1, tx, s.tile);
					tile.insert(tile.end(), row.begin(), row.end());
				}
				TIFFWriteTile(t, tile.data(), (uint32_t)tx, (uint32_t)ty, 0, 0);
			}
		}
	}
	else {
		TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 4);
		for (int y = 0; y < s.height; ++y) {
			Bytes row = packRow(y, 0, s.width);
			TIFFWriteScanline(t, row.data(), (uint32_t)y, 0);
		}
	}
	TIFFClose(t);
	Bytes data = magick::ReadFile(path);
	std::remove(path.c_str());
	return data;
}

// libtiff's RGBA reading of the same bytes, top row first.
Picture ReferenceDecode(const Bytes &data)
{
	std::string path = magick::TempPath("ref.tif");
	magick::WriteFile(path, data);
	TIFF *t = TIFFOpen(path.c_str(), "r");
	Picture pic;
	uint32_t w = 0, h = 0;
	TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
	TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
	std::vector<uint32_t> raster((size_t)w * h);
	EXPECT_TRUE(TIFFReadRGBAImageOriented(t, w, h, raster.data(), ORIENTATION_TOPLEFT, 0));
	TIFFClose(t);
	std::remove(path.c_str());
	pic.width = (int)w;
	pic.height = (int)h;
	for (uint32_t v : raster) {
		pic.rgba.push_back((uint8_t)TIFFGetR(v));
		pic.rgba.push_back((uint8_t)TIFFGetG(v));
		pic.rgba.push_back((uint8_t)TIFFGetB(v));
		pic.rgba.push_back((uint8_t)TIFFGetA(v));
	}
	return pic;
}

std::vector<TiffSpec> Specs()
{
	std::vector<TiffSpec> v;
	v.push_back(TiffSpec{"rgb"});
	TiffSpec s{"rgb lzw"};
	s.compression = COMPRESSION_LZW;
	v.push_back(s);
	s = TiffSpec{"rgb deflate"};
	s.compression = COMPRESSION_ADOBE_DEFLATE;
	v.push_back(s);
	s = TiffSpec{"rgb packbits, tiled"};
	s.compression = COMPRESSION_PACKBITS;
	s.tile = 16;
	v.push_back(s);
	s = TiffSpec{"rgba"};
	s.samplesPerPixel = 4;
	s.alpha = true;
	v.push_back(s);
	s = TiffSpec{"rgb 16 bit"};
	s.bitsPerSample = 16;
	v.push_back(s);
	s = TiffSpec{"grey 8 bit"};
	s.samplesPerPixel = 1;
	s.photometric = PHOTOMETRIC_MINISBLACK;
	v.push_back(s);
	s = TiffSpec{"palette 8 bit"};
	s.samplesPerPixel = 1;
	s.photometric = PHOTOMETRIC_PALETTE;
	v.push_back(s);
	s = TiffSpec{"palette 4 bit"};
	s.samplesPerPixel = 1;
	s.bitsPerSample = 4;
	s.photometric = PHOTOMETRIC_PALETTE;
	v.push_back(s);
	s = TiffSpec{"bilevel min-is-white"};
	s.samplesPerPixel = 1;
	s.bitsPerSample = 1;
	s.photometric = PHOTOMETRIC_MINISWHITE;
	s.compression = COMPRESSION_CCITTFAX4;
	v.push_back(s);
	return v;
}

TEST(TiffDecoder, LibtiffFilesMatchLibtiffsRgbaDecode)
{
	for (const TiffSpec &s : Specs()) {
		SCOPED_TRACE(s.name);
		Bytes tif = WriteTiff(s);
		CWinBmp bmp;
		magick::DecodeBytes(tif, bmp);
		EXPECT_EQ(bmp.HasAlpha(), s.alpha);
		EXPECT_TRUE(magick::SamePixels(bmp, ReferenceDecode(tif), true));
	}
}

TEST(TiffDecoder, ImageMagickFilesMatchImageMagicksDecode)
{
	std::string pam = magick::WritePam("tiff_src", 41, 27, magick::Pattern(41, 27, false), false);
	for (const char *options : {"-compress None", "-compress LZW", "-compress Zip", "-compress None -endian MSB",
	                            "-colorspace Gray -compress None"}) {
		SCOPED_TRACE(options);
		EXPECT_TRUE(magick::ConvertAndCompare(pam, options, ".tif", false));
	}
	std::remove(pam.c_str());
}

TEST(TiffDecoder, NaturalDepthKeepsPaletteAndBilevelPictures)
{
	struct Case
	{
		TiffSpec layout;
		int expectedBpp;
	};
	std::vector<Case> cases;
	for (const TiffSpec &s : Specs()) {
		bool lo = s.samplesPerPixel == 1 && s.bitsPerSample <= 8 && !s.tile;
		cases.push_back({s, lo ? (s.bitsPerSample == 1 ? 1 : 8) : 32});
	}
	for (const Case &c : cases) {
		SCOPED_TRACE(c.layout.name);
		Bytes tif = WriteTiff(c.layout);
		CWinBmp bmp;
		magick::DecodeBytes(tif, bmp, 0);
		ASSERT_EQ(bmp.GetBitsPerPixel(), c.expectedBpp);
		if (c.expectedBpp == 32)
			continue;
		// grey and bilevel: each index through the palette gives libtiff's grey;
		// palette: the index as written, the colour map scaled by 255 / 65535
		Picture ref = ReferenceDecode(tif);
		const bool palette = c.layout.photometric == PHOTOMETRIC_PALETTE;
		for (int y = 0; y < ref.height; ++y) {
			for (int x = 0; x < ref.width; ++x) {
				int index = c.expectedBpp == 1 ? (bmp.GetLine(y)[x / 8] >> (7 - x % 8)) & 1 : bmp.GetLine(y)[x];
				CPixel32 p = bmp.GetPalette()[index];
				if (palette) {
					ASSERT_EQ(index, SampleValue(c.layout, x, y, 0)) << x << "," << y;
					ASSERT_EQ(p.GetR(), (index * 4000 % 65536) * 255 / 65535);
					ASSERT_EQ(p.GetG(), (uint16_t)(65535 - index * 300) * 255 / 65535);
					ASSERT_EQ(p.GetB(), index * 257 * 255 / 65535);
					continue;
				}
				const uint8_t *q = &ref.rgba[((size_t)y * ref.width + x) * 4];
				ASSERT_EQ(p.GetR(), q[0]) << x << "," << y;
				ASSERT_EQ(p.GetG(), q[1]) << x << "," << y;
				ASSERT_EQ(p.GetB(), q[2]) << x << "," << y;
			}
		}
	}
}

int DecodeError(const Bytes &data)
{
	CWinBmp bmp;
	CAnyPicDecoder decoder;
	return magick::DecodeError(decoder, data, bmp);
}

TEST(TiffDecoder, BrokenFilesFailWithTheLibrarysMessage)
{
	TiffSpec s{"lzw"};
	s.compression = COMPRESSION_LZW;
	s.width = 64;
	s.height = 64;
	Bytes tif = WriteTiff(s);

	Bytes header(tif.begin(), tif.begin() + 8);
	EXPECT_EQ(DecodeError(header), 1);
	// first directory far past the end
	Bytes farIfd = tif;
	farIfd[4] = 0xF0;
	farIfd[5] = 0xFF;
	farIfd[6] = 0xFF;
	farIfd[7] = 0x7F;
	EXPECT_EQ(DecodeError(farIfd), 1);
	// strips cut off: libtiff can't read them
	for (size_t keep : {tif.size() / 2, tif.size() - 100}) {
		Bytes cut(tif.begin(), tif.begin() + keep);
		int code = DecodeError(cut);
		EXPECT_TRUE(code == 0 || code == 1) << code;
	}
	try {
		magick::DecodeBytes(header, *std::make_unique<CWinBmp>());
	}
	catch (const CTextException &e) {
		std::string text = e.GetErrorText();
		EXPECT_EQ(text.rfind("Decoder error: ", 0), 0u);
		EXPECT_GT(text.size(), 20u) << text;
	}
}

} // namespace
