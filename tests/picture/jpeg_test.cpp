#include "picture/jpegdecoder.h"

#include <gtest/gtest.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>
#include <stdexcept>

#include "picture/picsource.h"
#include "picture/textexception.h"
#include "tests/picture/picture_magick.h"

namespace {

using magick::Bytes;
using magick::Picture;

struct JpegSpec
{
	int width = 37, height = 23;
	int components = 3;   // 1 grey, 3 RGB, 4 CMYK
	int quality = 90;
	bool fullChroma = false;
	bool progressive = false;
};

// libjpeg's own encoder.
Bytes EncodeJpeg(const JpegSpec &s)
{
	jpeg_compress_struct c;
	jpeg_error_mgr err;
	c.err = jpeg_std_error(&err);
	jpeg_create_compress(&c);
	unsigned char *mem = nullptr;
	unsigned long size = 0;
	jpeg_mem_dest(&c, &mem, &size);
	c.image_width = (JDIMENSION)s.width;
	c.image_height = (JDIMENSION)s.height;
	c.input_components = s.components;
	c.in_color_space = s.components == 1 ? JCS_GRAYSCALE : s.components == 3 ? JCS_RGB : JCS_CMYK;
	jpeg_set_defaults(&c);
	jpeg_set_quality(&c, s.quality, TRUE);
	if (s.fullChroma && s.components == 3)
		c.comp_info[0].h_samp_factor = c.comp_info[0].v_samp_factor = 1;
	if (s.progressive)
		jpeg_simple_progression(&c);
	jpeg_start_compress(&c, TRUE);
	Bytes pat = magick::Pattern(s.width, s.height, false);
	std::vector<uint8_t> row((size_t)s.width * s.components);
	while (c.next_scanline < c.image_height) {
		for (int x = 0; x < s.width; ++x)
			for (int k = 0; k < s.components; ++k)
				row[(size_t)x * s.components + k] = pat[((size_t)c.next_scanline * s.width + x) * 4 + (k % 3)];
		JSAMPROW r = row.data();
		jpeg_write_scanlines(&c, &r, 1);
	}
	jpeg_finish_compress(&c);
	jpeg_destroy_compress(&c);
	Bytes out(mem, mem + size);
	free(mem);
	return out;
}

struct RefError
{
	jpeg_error_mgr pub;
	jmp_buf jump;
};

// libjpeg's decode with the decoder's settings: float DCT, no fancy
// upsampling; grey spread to RGB.
Picture ReferenceDecode(const Bytes &data)
{
	jpeg_decompress_struct d;
	RefError err;
	d.err = jpeg_std_error(&err.pub);
	err.pub.error_exit = [](j_common_ptr c) { longjmp(reinterpret_cast<RefError *>(c->err)->jump, 1); };
	err.pub.emit_message = [](j_common_ptr, int) {};
	Picture pic;
	if (setjmp(err.jump)) {
		jpeg_destroy_decompress(&d);
		throw std::runtime_error("reference decode failed");
	}
	jpeg_create_decompress(&d);
	jpeg_mem_src(&d, data.data(), (unsigned long)data.size());
	jpeg_read_header(&d, TRUE);
	d.do_fancy_upsampling = FALSE;
	d.dct_method = JDCT_FLOAT;
	d.out_color_space = d.jpeg_color_space == JCS_GRAYSCALE ? JCS_GRAYSCALE : JCS_RGB;
	jpeg_start_decompress(&d);
	pic.width = (int)d.output_width;
	pic.height = (int)d.output_height;
	std::vector<uint8_t> row((size_t)pic.width * d.output_components);
	while (d.output_scanline < d.output_height) {
		JSAMPROW r = row.data();
		jpeg_read_scanlines(&d, &r, 1);
		for (int x = 0; x < pic.width; ++x) {
			for (int k = 0; k < 3; ++k)
				pic.rgba.push_back(row[(size_t)x * d.output_components + (d.output_components == 1 ? 0 : k)]);
			pic.rgba.push_back(255);
		}
	}
	jpeg_finish_decompress(&d);
	jpeg_destroy_decompress(&d);
	return pic;
}

TEST(JpegDecoder, LibjpegFilesMatchTheReferenceDecode)
{
	std::vector<std::pair<const char *, JpegSpec>> cases;
	cases.push_back({"colour 4:2:0", JpegSpec{}});
	JpegSpec full;
	full.fullChroma = true;
	cases.push_back({"colour 4:4:4", full});
	JpegSpec prog;
	prog.progressive = true;
	prog.width = 64;
	prog.height = 48;
	cases.push_back({"progressive", prog});
	JpegSpec grey;
	grey.components = 1;
	cases.push_back({"grey", grey});
	JpegSpec odd;
	odd.width = 1;
	odd.height = 17;
	cases.push_back({"one column", odd});
	for (const auto &[name, layout] : cases) {
		SCOPED_TRACE(name);
		Bytes jpg = EncodeJpeg(layout);
		CWinBmp bmp;
		magick::DecodeBytes(jpg, bmp);
		// the alpha byte of colour pictures is not written; grey ones get 255
		EXPECT_TRUE(magick::SamePixels(bmp, ReferenceDecode(jpg), layout.components == 1));
	}
}

TEST(JpegDecoder, ImageMagickFilesMatchImageMagicksDecodeWithTheSameSettings)
{
	std::string pam = magick::WritePam("jpeg_src", 53, 31, magick::Pattern(53, 31, false), false);
	const std::pair<const char *, const char *> cases[] = {
	    {"baseline", "-quality 85"},
	    {"progressive", "-quality 70 -interlace Plane"},
	    {"4:4:4", "-quality 95 -sampling-factor 1x1"},
	    {"grey", "-colorspace Gray -quality 80"},
	};
	for (auto [name, options] : cases) {
		SCOPED_TRACE(name);
		std::string jpg = magick::TempPath(std::string("im_") + name + ".jpg");
		magick::Run(std::string("/usr/bin/convert '") + pam + "' " + options + " '" + jpg + "'");
		CWinBmp bmp;
		magick::DecodeFile(jpg, bmp);
		Picture ref = magick::Decode(jpg, "-define jpeg:dct-method=float -define jpeg:fancy-upsampling=false");
		EXPECT_TRUE(magick::SamePixels(bmp, ref, false));
		EXPECT_TRUE(magick::SamePixels(bmp, ReferenceDecode(magick::ReadFile(jpg)), false));
		std::remove(jpg.c_str());
	}
	std::remove(pam.c_str());
}

TEST(JpegDecoder, GreyAskedAtEightBitsKeepsEightBitsAndColourDoesNot)
{
	JpegSpec grey;
	grey.components = 1;
	Bytes g = EncodeJpeg(grey);
	Picture ref = ReferenceDecode(g);
	CWinBmp bmp;
	magick::DecodeBytes(g, bmp, 8);
	ASSERT_EQ(bmp.GetBitsPerPixel(), 8);
	for (int i = 0; i < 256; ++i)
		ASSERT_EQ(bmp.GetPalette()[i].GetR(), i);
	for (int y = 0; y < ref.height; ++y)
		for (int x = 0; x < ref.width; ++x)
			ASSERT_EQ(bmp.GetLine(y)[x], ref.rgba[((size_t)y * ref.width + x) * 4]);

	CWinBmp colour;
	magick::DecodeBytes(EncodeJpeg(JpegSpec{}), colour, 8);
	EXPECT_EQ(colour.GetBitsPerPixel(), 32);

	// asked for the natural depth, the decoder says what it made
	CJPEGDecoder dec;
	for (auto [bytes, expected] : {std::pair{g, 8}, std::pair{EncodeJpeg(JpegSpec{}), 32}}) {
		CWinBmp b;
		CPicMemSource src;
		src.Open(bytes.data(), (int)bytes.size());
		std::unique_ptr<CPixel32[]> pal;
		int bpp = 0;
		dec.DecodeFromSource(&b, pal, &bpp, &src);
		EXPECT_EQ(bpp, expected);
	}
}

TEST(JpegDecoder, TruncatedAtHalfDecodesWithoutError)
{
	JpegSpec layout;
	layout.width = 80;
	layout.height = 64;
	Bytes jpg = EncodeJpeg(layout);
	Bytes half(jpg.begin(), jpg.begin() + jpg.size() / 2);
	CWinBmp full, cut;
	magick::DecodeBytes(jpg, full);
	ASSERT_NO_THROW(magick::DecodeBytes(half, cut));
	ASSERT_EQ(cut.GetWidth(), 80);
	ASSERT_EQ(cut.GetHeight(), 64);
	// the rows before the cut come out as in the whole picture
	for (int y = 0; y < 8; ++y)
		for (int x = 0; x < 80; ++x)
			ASSERT_EQ(cut.GetPixel(x, y).GetR(), full.GetPixel(x, y).GetR());
}

// The frame's size in a JPEG, patched in place.
Bytes WithFrameSize(Bytes jpg, int width, int height)
{
	for (size_t i = 2; i + 9 < jpg.size(); ++i) {
		if (jpg[i] == 0xFF && (jpg[i + 1] == 0xC0 || jpg[i + 1] == 0xC2)) {
			jpg[i + 5] = (uint8_t)(height >> 8);
			jpg[i + 6] = (uint8_t)height;
			jpg[i + 7] = (uint8_t)(width >> 8);
			jpg[i + 8] = (uint8_t)width;
			return jpg;
		}
	}
	ADD_FAILURE() << "no frame header";
	return jpg;
}

int DecodeErrorCode(const Bytes &data)
{
	CWinBmp bmp;
	CAnyPicDecoder decoder;
	return magick::DecodeError(decoder, data, bmp);
}

// A small file claiming a huge picture is refused before the picture is
// made: its data can't hold a bit for every 8 x 8 block, or the picture is
// above the limit.
TEST(JpegDecoder, TinyFilesClaimingHugePicturesAreRefused)
{
	JpegSpec small;
	small.width = 16;
	small.height = 16;
	small.components = 1;
	small.quality = 30;
	const Bytes jpg = EncodeJpeg(small);
	ASSERT_LT(jpg.size(), 400u);
	EXPECT_EQ(DecodeErrorCode(WithFrameSize(jpg, 8000, 8000)), 11);
	EXPECT_EQ(DecodeErrorCode(WithFrameSize(jpg, 16384, 16383)), 11);
	EXPECT_EQ(DecodeErrorCode(WithFrameSize(jpg, 60000, 16)), 11);
	// Data enough (comments of 300 KB), a picture above the limit of 2^27
	// pixels.
	Bytes padded = WithFrameSize(jpg, 12000, 12000);
	for (int i = 0; i < 5; ++i) {
		Bytes comment = {0xFF, 0xFE, 0xFF, 0xFF};
		comment.resize(2 + 0xFFFF, 'x');
		padded.insert(padded.begin() + 2, comment.begin(), comment.end());
	}
	EXPECT_EQ(DecodeErrorCode(padded), 10);

	// The most compressible pictures, a bit or two a block, still decode.
	for (bool progressive : {false, true}) {
		SCOPED_TRACE(progressive);
		JpegSpec black;
		black.width = 1024;
		black.height = 1024;
		black.components = 1;
		black.quality = 10;
		black.progressive = progressive;
		jpeg_compress_struct c;
		jpeg_error_mgr err;
		c.err = jpeg_std_error(&err);
		jpeg_create_compress(&c);
		unsigned char *mem = nullptr;
		unsigned long size = 0;
		jpeg_mem_dest(&c, &mem, &size);
		c.image_width = c.image_height = 1024;
		c.input_components = 1;
		c.in_color_space = JCS_GRAYSCALE;
		jpeg_set_defaults(&c);
		jpeg_set_quality(&c, 10, TRUE);
		if (progressive)
			jpeg_simple_progression(&c);
		jpeg_start_compress(&c, TRUE);
		std::vector<uint8_t> row(1024, 0);
		while (c.next_scanline < c.image_height) {
			JSAMPROW r = row.data();
			jpeg_write_scanlines(&c, &r, 1);
		}
		jpeg_finish_compress(&c);
		jpeg_destroy_compress(&c);
		Bytes data(mem, mem + size);
		free(mem);
		CWinBmp bmp;
		ASSERT_NO_THROW(magick::DecodeBytes(data, bmp));
		EXPECT_EQ(bmp.GetWidth(), 1024);
		EXPECT_EQ(bmp.GetPixel(1000, 1000), CPixel32(0, 0, 0, 255));
	}
}

TEST(JpegDecoder, LibraryErrorsBecomeCodeSix)
{
	JpegSpec cmyk;
	cmyk.components = 4;
	const std::pair<const char *, Bytes> cases[] = {
	    {"CMYK", EncodeJpeg(cmyk)},
	    {"garbage after the start marker", Bytes{0xFF, 0xD8, 0xFF, 0x12, 0x00, 0x02, 0x33, 0x44, 0x55}},
	    {"only the start marker", Bytes{0xFF, 0xD8, 0xFF}},
	};
	for (const auto &[name, data] : cases) {
		SCOPED_TRACE(name);
		CWinBmp bmp;
		try {
			magick::DecodeBytes(data, bmp);
			ADD_FAILURE() << "no exception";
		}
		catch (const CTextException &e) {
			EXPECT_EQ(e.GetErrorCode(), 6);
			std::string text = e.GetErrorText();
			EXPECT_EQ(text.rfind("Decoder error: ", 0), 0u) << text;
			EXPECT_EQ(text.substr(text.size() - 2), "\n\n") << text;
		}
	}
}

} // namespace
