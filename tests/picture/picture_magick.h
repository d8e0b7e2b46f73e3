// Pictures written and read back by ImageMagick, the reference for the
// decoders of the picture library.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "picture/anypicdecoder.h"
#include "picture/textexception.h"
#include "picture/winbmp.h"

namespace magick {

using Bytes = std::vector<uint8_t>;

inline std::string TempPath(const std::string &name)
{
	return testing::TempDir() + "brivanta_pic2_" + std::to_string(getpid()) + "_" + name;
}

// The commands are called by their full paths, so that nothing else on the
// path stands in for ImageMagick.
inline void Run(const std::string &command)
{
	if (std::system((command + " 2>/dev/null").c_str()) != 0)
		throw std::runtime_error("failed: " + command);
}

inline Bytes ReadFile(const std::string &path)
{
	std::ifstream f(path, std::ios::binary);
	return Bytes(std::istreambuf_iterator<char>(f), {});
}

inline void WriteFile(const std::string &path, const Bytes &data)
{
	std::ofstream f(path, std::ios::binary);
	f.write(reinterpret_cast<const char *>(data.data()), (std::streamsize)data.size());
}

// A test picture as 8-bit RGBA: smooth ramps with a few hard edges, with or
// without a varying alpha.
inline Bytes Pattern(int w, int h, bool alpha)
{
	Bytes p((size_t)w * h * 4);
	for (int y = 0; y < h; ++y) {
		for (int x = 0; x < w; ++x) {
			uint8_t *q = &p[((size_t)y * w + x) * 4];
			q[0] = (uint8_t)(x * 255 / std::max(w - 1, 1));
			q[1] = (uint8_t)(y * 255 / std::max(h - 1, 1));
			q[2] = (uint8_t)((x / 4 + y / 3) % 2 ? 200 : 40);
			q[3] = alpha ? (uint8_t)(255 - (x * 7 + y * 3) % 256) : 255;
		}
	}
	return p;
}

// Writes the RGBA pixels as a PAM file that ImageMagick reads.
inline std::string WritePam(const std::string &name, int w, int h, const Bytes &rgba, bool alpha)
{
	std::ostringstream head;
	head << "P7\nWIDTH " << w << "\nHEIGHT " << h << "\nDEPTH " << (alpha ? 4 : 3) << "\nMAXVAL 255\nTUPLTYPE "
	     << (alpha ? "RGB_ALPHA" : "RGB") << "\nENDHDR\n";
	std::string s = head.str();
	Bytes data(s.begin(), s.end());
	for (size_t i = 0; i < rgba.size(); i += 4)
		data.insert(data.end(), rgba.begin() + i, rgba.begin() + i + (alpha ? 4 : 3));
	std::string path = TempPath(name + ".pam");
	WriteFile(path, data);
	return path;
}

struct Picture
{
	int width = 0, height = 0;
	Bytes rgba;
};

// ImageMagick's decode of the file to 8-bit RGBA; `options` go before the
// file name (decoder settings), `operators` after it.
inline Picture Decode(const std::string &path, const std::string &options = "", const std::string &operators = "")
{
	Picture pic;
	std::string out = TempPath("decoded.rgba");
	Run("/usr/bin/convert " + options + " '" + path + "' " + operators + " -depth 8 rgba:'" + out + "'");
	pic.rgba = ReadFile(out);
	std::remove(out.c_str());
	FILE *f = popen(("/usr/bin/identify -format '%w %h\\n' " + options + " '" + path + "' 2>/dev/null").c_str(), "r");
	if (!f || fscanf(f, "%d %d", &pic.width, &pic.height) != 2) {
		if (f)
			pclose(f);
		throw std::runtime_error("identify failed on " + path);
	}
	pclose(f);
	return pic;
}

// Our decode of the file through the format recognition, at 32 bits.
inline void DecodeFile(const std::string &path, CWinBmp &bmp, int bpp = 32)
{
	CAnyPicDecoder decoder;
	decoder.MakeBmpFromFile(path.c_str(), &bmp, bpp);
}

inline void DecodeBytes(const Bytes &data, CWinBmp &bmp, int bpp = 32)
{
	CAnyPicDecoder decoder;
	decoder.MakeBmpFromMemory(data.data(), (int)data.size(), &bmp, bpp);
}

// The code of the CTextException that decoding the bytes with the given
// decoder throws, 0 when it throws none.
inline int DecodeError(CPicDecoder &decoder, const Bytes &data, CWinBmp &bmp, int bpp = 32)
{
	try {
		decoder.MakeBmpFromMemory(data.data(), (int)data.size(), &bmp, bpp);
	}
	catch (const CTextException &e) {
		return e.GetErrorCode();
	}
	return 0;
}

// Compares a 32-bit bitmap with RGBA pixels; alpha only when asked.
inline testing::AssertionResult SamePixels(const CWinBmp &bmp, const Picture &ref, bool compareAlpha,
                                           int tolerance = 0)
{
	if (bmp.GetWidth() != ref.width || bmp.GetHeight() != ref.height)
		return testing::AssertionFailure() << "size " << bmp.GetWidth() << "x" << bmp.GetHeight() << " instead of "
		                                   << ref.width << "x" << ref.height;
	if (bmp.GetBitsPerPixel() != 32)
		return testing::AssertionFailure() << "depth " << bmp.GetBitsPerPixel();
	if (ref.rgba.size() != (size_t)ref.width * ref.height * 4)
		return testing::AssertionFailure() << "reference has " << ref.rgba.size() << " bytes";
	for (int y = 0; y < ref.height; ++y) {
		for (int x = 0; x < ref.width; ++x) {
			CPixel32 p = bmp.GetPixel(x, y);
			const uint8_t *q = &ref.rgba[((size_t)y * ref.width + x) * 4];
			int got[4] = {p.GetR(), p.GetG(), p.GetB(), p.GetA()};
			for (int c = 0; c < (compareAlpha ? 4 : 3); ++c) {
				if (std::abs(got[c] - q[c]) > tolerance)
					return testing::AssertionFailure()
					       << "pixel (" << x << "," << y << ") channel " << c << ": " << got[c] << " instead of "
					       << int(q[c]);
			}
		}
	}
	return testing::AssertionSuccess();
}

// Writes the source picture through ImageMagick with the options to a file of
// that extension, decodes it with ours and with ImageMagick and compares.
inline testing::AssertionResult ConvertAndCompare(const std::string &source, const std::string &options,
                                                  const std::string &extension, bool compareAlpha,
                                                  int tolerance = 0)
{
	std::string file = TempPath("converted" + extension);
	Run("/usr/bin/convert '" + source + "' " + options + " '" + file + "'");
	CWinBmp bmp;
	DecodeFile(file, bmp);
	testing::AssertionResult result = SamePixels(bmp, Decode(file), compareAlpha, tolerance);
	std::remove(file.c_str());
	return result;
}

} // namespace magick
