#include "picture/png.h"

#include "picture/inflate.h"
#include "picture/picdecoder.h"

#include "framework/paths.h"

#include <algorithm>
#include <cstdio>

#include "picture/pictrace.h"
#include <cstring>

namespace {

unsigned int BigEndian32(const unsigned char *p)
{
	return ((unsigned int)p[0] << 24) | ((unsigned int)p[1] << 16) | ((unsigned int)p[2] << 8) | p[3];
}

// Inflate makes at most 258 bytes of a length code and a distance code of
// one bit each: 1032 bytes of a byte of data.
const unsigned long long maxInflateRatio = 1032;

// Rows and columns of Adam7 pass 1 to 7 of a W x H picture.
void PassSize(int pass, unsigned int W, unsigned int H, unsigned int &passWid, unsigned int &passHei)
{
	switch (pass) {
	case 1: passWid = (W + 7) / 8; passHei = (H + 7) / 8; break;
	case 2: passWid = (W + 3) / 8; passHei = (H + 7) / 8; break;
	case 3: passWid = (W + 3) / 4; passHei = (H + 3) / 8; break;
	case 4: passWid = (W + 1) / 4; passHei = (H + 3) / 4; break;
	case 5: passWid = (W + 1) / 2; passHei = (H + 1) / 4; break;
	case 6: passWid = W / 2; passHei = (H + 1) / 2; break;
	case 7: passWid = W; passHei = H / 2; break;
	default: passWid = 0; passHei = 0; break;
	}
}

} // namespace

void YsPngHeader::Decode(const unsigned char dat[])
{
	width = BigEndian32(dat);
	height = BigEndian32(dat + 4);
	bitDepth = dat[8];
	colorType = dat[9];
	compressionMethod = dat[10];
	filterMethod = dat[11];
	interlaceMethod = dat[12];
	PLTrace(2, "Width=%d Height=%d\n", width, height);
	PLTrace(2, "bitDepth=%d\n", bitDepth);
	PLTrace(2, "colorType=%d\n", colorType);
	PLTrace(2, "compressionMethod=%d\n", compressionMethod);
	PLTrace(2, "filterMethod=%d\n", filterMethod);
	PLTrace(2, "interlaceMethod=%d\n", interlaceMethod);
}

bool YsPngPalette::Decode(unsigned int length, const unsigned char dat[])
{
	if (length % 3 != 0)
		return false;
	nEntry = length / 3;
	entry.assign(dat, dat + length);
	PLTrace(2, "%d palette entries\n", nEntry);
	return true;
}

void YsPngTransparency::Decode(unsigned int length, const unsigned char dat[], unsigned int colorType)
{
	switch (colorType) {
	case 0:
		if (length > 1)
			col[0] = (dat[0] << 8) | dat[1];
		break;
	case 2:
		if (length > 5) {
			col[0] = (dat[0] << 8) | dat[1];
			col[1] = (dat[2] << 8) | dat[3];
			col[2] = (dat[4] << 8) | dat[5];
		}
		break;
	case 3:
		for (unsigned int i = 0; i < 3 && i < length; ++i)
			col[i] = dat[i];
		break;
	}
}

YsGenericPngDecoder::YsGenericPngDecoder() { Initialize(); }

void YsGenericPngDecoder::Initialize()
{
	gamma = gamma_default;
	trns = YsPngTransparency();
}

int YsGenericPngDecoder::PrepareOutput() { return 1; }
int YsGenericPngDecoder::Output(unsigned char) { return 1; }
int YsGenericPngDecoder::EndOutput() { return 1; }

bool YsGenericPngDecoder::CheckSignature(const unsigned char *data, size_t size)
{
	static const unsigned char sig[8] = {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a};
	return size >= 8 && memcmp(data, sig, 8) == 0;
}

int YsGenericPngDecoder::Decode(const char fn[])
{
	FILE *fp = fopen(brv::PosixPath(fn).c_str(), "rb");
	if (!fp)
		return -1;
	std::vector<unsigned char> bytes;
	if (fseek(fp, 0, SEEK_END) == 0) {
		long len = ftell(fp);
		if (len > 0 && fseek(fp, 0, SEEK_SET) == 0) {
			bytes.resize((size_t)len);
			bytes.resize(fread(bytes.data(), 1, bytes.size(), fp));
		}
	}
	fclose(fp);
	return Decode(bytes.data(), bytes.size());
}

int YsGenericPngDecoder::Decode(const unsigned char *data, size_t size)
{
	Initialize();
	hdr = YsPngHeader();
	plt = YsPngPalette();
	if (!CheckSignature(data, size)) {
		PLTrace(1, "The file does not have PNG signature.\n");
		return -1;
	}

	std::vector<unsigned char> idat;
	size_t pos = 8;
	// A chunk needs its length, type, data and CRC; a short one ends the walk.
	while (size - pos >= 12) {
		unsigned int length = BigEndian32(data + pos);
		const unsigned char *type = data + pos + 4;
		if (length > size - pos - 12)
			break;
		const unsigned char *dat = data + pos + 8;
		pos += 12 + (size_t)length;
		PLTrace(2, "Chunk name=%c%c%c%c\n", type[0], type[1], type[2], type[3]);

		if (memcmp(type, "IEND", 4) == 0)
			break;
		if (memcmp(type, "IDAT", 4) == 0)
			idat.insert(idat.end(), dat, dat + length);
		else if (memcmp(type, "IHDR", 4) == 0) {
			if (length >= 13)
				hdr.Decode(dat);
		}
		else if (memcmp(type, "PLTE", 4) == 0) {
			if (!plt.Decode(length, dat))
				return -1;
		}
		else if (memcmp(type, "gAMA", 4) == 0) {
			if (length >= 4) {
				gamma = BigEndian32(dat);
				PLTrace(2, "Gamma %d (default=%d)\n", gamma, (int)gamma_default);
			}
		}
		else if (memcmp(type, "tRNS", 4) == 0)
			trns.Decode(length, dat, hdr.colorType);
	}

	compressedSize = idat.size();
	if (PrepareOutput() == 1) {
		YsPngUncompressor uncompressor(this);
		uncompressor.Uncompress(idat.size(), idat.data());
		EndOutput();
	}
	return 1;
}

size_t YsRawPngDecoder::RowBytes(unsigned int width) const
{
	size_t w = width;
	switch (hdr.colorType) {
	case 0:
	case 3:
		switch (hdr.bitDepth) {
		case 1: return (w + 7) / 8;
		case 2: return (w + 3) / 4;
		case 4: return (w + 1) / 2;
		case 8: return w;
		case 16: return 2 * w;
		}
		break;
	case 2:
		return hdr.bitDepth == 8 ? 3 * w : hdr.bitDepth == 16 ? 6 * w : 0;
	case 4:
		return hdr.bitDepth == 8 ? 2 * w : hdr.bitDepth == 16 ? 4 * w : 0;
	case 6:
		return hdr.bitDepth == 8 ? 4 * w : hdr.bitDepth == 16 ? 8 * w : 0;
	}
	return 0;
}

unsigned long long YsRawPngDecoder::RawBytes() const
{
	if (hdr.interlaceMethod != 1)
		return (unsigned long long)hdr.height * (1 + RowBytes(hdr.width));
	unsigned long long total = 0;
	for (int pass = 1; pass <= 7; ++pass) {
		unsigned int w, h;
		PassSize(pass, hdr.width, hdr.height, w, h);
		if (w > 0 && h > 0)
			total += (unsigned long long)h * (1 + RowBytes(w));
	}
	return total;
}

int YsRawPngDecoder::PrepareOutput()
{
	const unsigned int ct = hdr.colorType, bd = hdr.bitDepth;
	bool supported = (ct == 0 && (bd == 1 || bd == 8)) || (ct == 2 && (bd == 8 || bd == 16)) ||
	                 (ct == 3 && (bd == 4 || bd == 8)) || (ct == 4 && bd == 8) || (ct == 6 && bd == 8);
	if (!supported) {
		PLTrace(1, "Unsupported colorType-bitDepth combination.\n");
		return 0;
	}
	if (hdr.width == 0 || hdr.height == 0 || !PLPictureSizeOk(hdr.width, hdr.height)) {
		PLTrace(1, "Unsupported image size.\n");
		return 0;
	}
	// Refused before anything is allocated: image data that can't inflate to
	// the picture's rows.
	if (RawBytes() > maxInflateRatio * compressedSize) {
		PLTrace(1, "Image data too short for the picture.\n");
		return 0;
	}
	unsigned long long bytes = (unsigned long long)hdr.width * hdr.height * 4;
	wid = (int)hdr.width;
	hei = (int)hdr.height;
	rgba.assign((size_t)bytes, 0);

	pixelBytes = ct == 2 ? 3 : ct == 4 ? 2 : ct == 6 ? 4 : 1;
	if (bd == 16)
		pixelBytes *= 2;
	const size_t fullRow = RowBytes(hdr.width);
	twoLineBuf.assign(fullRow * 2, 0);
	curLine = twoLineBuf.data();
	prvLine = twoLineBuf.data() + fullRow;
	interlacePass = 1;
	StartPass();
	return 1;
}

// Sets up the rows of the present pass; Adam7 passes without columns or rows
// carry no data and are passed over.
void YsRawPngDecoder::StartPass()
{
	const unsigned int W = hdr.width, H = hdr.height;
	if (hdr.interlaceMethod != 1) {
		passWid = W;
		passHei = H;
	}
	else {
		for (;;) {
			PassSize(interlacePass, W, H, passWid, passHei);
			if ((passWid > 0 && passHei > 0) || interlacePass > 7)
				break;
			++interlacePass;
		}
		if (interlacePass <= 7)
			PLTrace(2, "Interlace Pass %d\n", interlacePass);
	}
	rowBytes = RowBytes(passWid);
	x = -1;
	y = 0;
	// the row above the first row of a pass is all zero
	std::fill(prvLine, prvLine + rowBytes, 0);
}

int YsRawPngDecoder::Output(unsigned char dat)
{
	if (hdr.interlaceMethod != 0 && hdr.interlaceMethod != 1) {
		PLTrace(1, "Unsupported interlace method.\n");
		return 0;
	}
	if (y >= (int)passHei)
		return 0;
	if (x == -1) {
		filter = dat;
		x = 0;
		return 1;
	}
	curLine[x++] = dat;
	if ((size_t)x >= rowBytes)
		FinishRow();
	return 1;
}

void YsRawPngDecoder::PutPixel(unsigned int px, unsigned int py, unsigned char r, unsigned char g, unsigned char b,
                               unsigned char a)
{
	unsigned int X = px, Y = py;
	if (hdr.interlaceMethod == 1) {
		switch (interlacePass) {
		case 1: X = 8 * px; Y = 8 * py; break;
		case 2: X = 8 * px + 4; Y = 8 * py; break;
		case 3: X = 4 * px; Y = 8 * py + 4; break;
		case 4: X = 4 * px + 2; Y = 4 * py; break;
		case 5: X = 2 * px; Y = 4 * py + 2; break;
		case 6: X = 2 * px + 1; Y = 2 * py; break;
		default: X = px; Y = 2 * py + 1; break;
		}
	}
	unsigned char *p = rgba.data() + ((size_t)Y * wid + X) * 4;
	p[0] = r;
	p[1] = g;
	p[2] = b;
	p[3] = a;
}

void YsRawPngDecoder::FinishRow()
{
	// undo the row's filter
	unsigned char *cur = curLine;
	const unsigned char *prv = prvLine;
	const size_t bpp = pixelBytes;
	for (size_t i = 0; i < rowBytes; ++i) {
		int a = i >= bpp ? cur[i - bpp] : 0;
		int b = prv[i];
		int c = i >= bpp ? prv[i - bpp] : 0;
		int pred = 0;
		switch (filter) {
		case 1: pred = a; break;
		case 2: pred = b; break;
		case 3: pred = (a + b) / 2; break;
		case 4: {
			int p = a + b - c;
			int pa = p > a ? p - a : a - p, pb = p > b ? p - b : b - p, pc = p > c ? p - c : c - p;
			pred = (pa <= pb && pa <= pc) ? a : pb <= pc ? b : c;
			break;
		}
		}
		cur[i] = (unsigned char)(cur[i] + pred);
	}

	const unsigned int py = (unsigned int)y;
	for (unsigned int px = 0; px < passWid; ++px) {
		switch (hdr.colorType) {
		case 0:
			if (hdr.bitDepth == 1) {
				unsigned char v = (cur[px >> 3] & (0x80 >> (px & 7))) ? 255 : 0;
				PutPixel(px, py, v, v, v, 255);
			}
			else
				PutPixel(px, py, cur[px], cur[px], cur[px], 255);
			break;
		case 2:
			if (hdr.bitDepth == 8)
				PutPixel(px, py, cur[3 * px], cur[3 * px + 1], cur[3 * px + 2], 255);
			else
				PutPixel(px, py, cur[6 * px], cur[6 * px + 2], cur[6 * px + 4], 255);
			break;
		case 3: {
			unsigned int index = hdr.bitDepth == 8 ? cur[px] : (px & 1) ? (cur[px >> 1] & 15) : (cur[px >> 1] >> 4);
			if (index < plt.nEntry) {
				const unsigned char *e = plt.entry.data() + 3 * index;
				PutPixel(px, py, e[0], e[1], e[2], 255);
			}
			break;
		}
		case 4:
			PutPixel(px, py, cur[2 * px], cur[2 * px], cur[2 * px], cur[2 * px + 1]);
			break;
		case 6:
			PutPixel(px, py, cur[4 * px], cur[4 * px + 1], cur[4 * px + 2], cur[4 * px + 3]);
			break;
		}
	}

	x = -1;
	++y;
	ShiftTwoLineBuf();
	if (hdr.interlaceMethod == 1 && y >= (int)passHei) {
		++interlacePass;
		StartPass();
	}
}

int YsRawPngDecoder::EndOutput()
{
	PLTrace(2, "Final Position (%d,%d)\n", x, y);
	return 1;
}
