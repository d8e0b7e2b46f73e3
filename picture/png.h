// The program's own PNG decoder: chunks, inflate (picture/inflate.h), row
// filters and Adam7 into an RGBA buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

class YsPngHeader
{
public:
	unsigned int width = 0, height = 0;
	unsigned int bitDepth = 0, colorType = 0;
	unsigned int compressionMethod = 0, filterMethod = 0, interlaceMethod = 0;

	void Decode(const unsigned char dat[]);
};

class YsPngPalette
{
public:
	unsigned int nEntry = 0;
	std::vector<unsigned char> entry;   // red, green, blue per entry

	// false when the length is not a multiple of 3
	bool Decode(unsigned int length, const unsigned char dat[]);
};

class YsPngTransparency
{
public:
	unsigned int col[3] = {0x7fffffff, 0x7fffffff, 0x7fffffff};

	void Decode(unsigned int length, const unsigned char dat[], unsigned int colorType);
};

class YsGenericPngDecoder
{
public:
	enum
	{
		gamma_default = 100000
	};

	YsGenericPngDecoder();
	virtual ~YsGenericPngDecoder() = default;

	void Initialize();
	// 1 when the file was read, -1 when it can't be opened, lacks the PNG
	// signature or has a bad PLTE.
	int Decode(const char fn[]);
	// The same over bytes in memory.
	int Decode(const unsigned char *data, size_t size);

	virtual int PrepareOutput();
	virtual int Output(unsigned char dat);
	// n bytes at once: by default Output for each, stopping at the first
	// that is refused (and returning what it returned).
	virtual int OutputBlock(const unsigned char *dat, size_t n);
	virtual int EndOutput();

	YsPngHeader hdr;
	YsPngPalette plt;
	YsPngTransparency trns;
	unsigned int gamma = gamma_default;
	// Bytes of image data (all IDAT chunks) of the file being decoded.
	size_t compressedSize = 0;

protected:
	static bool CheckSignature(const unsigned char *data, size_t size);
};

class YsRawPngDecoder : public YsGenericPngDecoder
{
public:
	int wid = 0, hei = 0;
	std::vector<unsigned char> rgba;   // wid x hei x 4, top row first

	int PrepareOutput() override;
	int Output(unsigned char dat) override;
	int OutputBlock(const unsigned char *dat, size_t n) override;
	int EndOutput() override;

	// Raw bytes of one row of the given width for this header, 0 when the
	// colour type and depth are not supported.
	size_t RowBytes(unsigned int width) const;
	// Inflated bytes of the whole picture: every row of every pass with its
	// filter byte.
	unsigned long long RawBytes() const;

private:
	void StartPass();
	void FinishRow();
	void ShiftTwoLineBuf() { std::swap(curLine, prvLine); }

	void Unfilter();
	void ConvertRow();

	int filter = 0;
	int x = -1, y = 0;            // x: byte of the row, -1 while the filter byte is awaited
	unsigned int passWid = 0, passHei = 0;
	size_t rowBytes = 0;
	unsigned int pixelBytes = 1;
	int interlacePass = 1;
	std::vector<unsigned char> twoLineBuf;
	unsigned char *curLine = nullptr, *prvLine = nullptr;
};

class CWinBmp;

// Fills the bitmap from the PNG file: W' x H pixels, W' the width rounded up
// to a multiple of 4 (the added columns repeat the row's last pixel), alpha 0.
// A file that can't be read leaves it 1 x 1, an unsupported colour type or
// depth 0 x 0. Throws only what the bitmap throws.
void MakeBmpFromPNG(const char fn[], CWinBmp *bmp, int bitsPerPixel);
// The same over bytes in memory.
void MakeBmpFromPNGData(const unsigned char *data, size_t size, CWinBmp *bmp, int bitsPerPixel);
