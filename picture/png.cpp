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
int YsGenericPngDecoder::OutputBlock(const unsigned char *dat, size_t n)
{
	for (size_t i = 0; i < n; ++i) {
		const int r = Output(dat[i]);
		if (r != 1)
			return r;
	}
	return 1;
}
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

int YsRawPngDecoder::Output(unsigned char dat) { return OutputBlock(&dat, 1); }

// Whole spans of a row are taken at once; a row is unfiltered and written
// out when its last byte has come.
int YsRawPngDecoder::OutputBlock(const unsigned char *dat, size_t n)
{
	while (n > 0) {
		if (hdr.interlaceMethod != 0 && hdr.interlaceMethod != 1) {
			PLTrace(1, "Unsupported interlace method.\n");
			return 0;
		}
		if (y >= (int)passHei)
			return 0;
		if (x == -1) {
			filter = *dat++;
			--n;
			x = 0;
			continue;
		}
		const size_t take = std::min(n, rowBytes - (size_t)x);
		memcpy(curLine + x, dat, take);
		x += (int)take;
		dat += take;
		n -= take;
		if ((size_t)x >= rowBytes)
			FinishRow();
	}
	return 1;
}

// Undoes the row's filter in place (sums modulo 256); left is 0 on the first
// pixel, above and upper left are 0 on the first row of the pass.
void YsRawPngDecoder::Unfilter()
{
	unsigned char *cur = curLine;
	const unsigned char *prv = prvLine;
	const size_t bpp = std::min(pixelBytes, (unsigned int)rowBytes), n = rowBytes;
	switch (filter) {
	case 1:
		for (size_t i = bpp; i < n; ++i)
			cur[i] = (unsigned char)(cur[i] + cur[i - bpp]);
		break;
	case 2:
		for (size_t i = 0; i < n; ++i)
			cur[i] = (unsigned char)(cur[i] + prv[i]);
		break;
	case 3:
		for (size_t i = 0; i < bpp; ++i)
			cur[i] = (unsigned char)(cur[i] + prv[i] / 2);
		for (size_t i = bpp; i < n; ++i)
			cur[i] = (unsigned char)(cur[i] + ((cur[i - bpp] + prv[i]) >> 1));
		break;
	case 4:
		// the predictor of (0, b, 0) is b
		for (size_t i = 0; i < bpp; ++i)
			cur[i] = (unsigned char)(cur[i] + prv[i]);
		for (size_t i = bpp; i < n; ++i) {
			const int a = cur[i - bpp], b = prv[i], c = prv[i - bpp];
			const int pa = b > c ? b - c : c - b;   // |p - a|, p = a + b - c
			const int pb = a > c ? a - c : c - a;   // |p - b|
			const int pc = a + b - 2 * c > 0 ? a + b - 2 * c : 2 * c - a - b;
			const int pred = (pa <= pb && pa <= pc) ? a : pb <= pc ? b : c;
			cur[i] = (unsigned char)(cur[i] + pred);
		}
		break;
	default:
		break;
	}
}

// Writes the unfiltered row's pixels into the RGBA output, at their places
// in the picture (Adam7: every step-th column of every step-th row).
void YsRawPngDecoder::ConvertRow()
{
	static const unsigned int x0[8] = {0, 0, 4, 0, 2, 0, 1, 0}, xs[8] = {1, 8, 8, 4, 4, 2, 2, 1};
	static const unsigned int y0[8] = {0, 0, 0, 4, 0, 2, 0, 1}, ys[8] = {1, 8, 8, 8, 4, 4, 2, 2};
	const int pass = hdr.interlaceMethod == 1 ? interlacePass : 0;
	const size_t row = (size_t)y0[pass] + (size_t)y * ys[pass];
	unsigned char *o = rgba.data() + (row * (size_t)wid + x0[pass]) * 4;
	const size_t step = (size_t)xs[pass] * 4;
	const unsigned char *cur = curLine;
	const unsigned int n = passWid;
	switch (hdr.colorType) {
	case 0:
		if (hdr.bitDepth == 1) {
			for (unsigned int px = 0; px < n; ++px, o += step) {
				const unsigned char v = (cur[px >> 3] & (0x80 >> (px & 7))) ? 255 : 0;
				o[0] = o[1] = o[2] = v;
				o[3] = 255;
			}
		}
		else {
			for (unsigned int px = 0; px < n; ++px, o += step) {
				o[0] = o[1] = o[2] = cur[px];
				o[3] = 255;
			}
		}
		break;
	case 2:
		if (hdr.bitDepth == 8) {
			for (unsigned int px = 0; px < n; ++px, o += step, cur += 3) {
				o[0] = cur[0];
				o[1] = cur[1];
				o[2] = cur[2];
				o[3] = 255;
			}
		}
		else {
			for (unsigned int px = 0; px < n; ++px, o += step, cur += 6) {
				o[0] = cur[0];
				o[1] = cur[2];
				o[2] = cur[4];
				o[3] = 255;
			}
		}
		break;
	case 3:
		for (unsigned int px = 0; px < n; ++px, o += step) {
			const unsigned int index =
			    hdr.bitDepth == 8 ? cur[px] : (px & 1) ? (cur[px >> 1] & 15) : (cur[px >> 1] >> 4);
			// an index beyond the palette leaves the pixel unwritten
			if (index < plt.nEntry) {
				const unsigned char *e = plt.entry.data() + 3 * index;
				o[0] = e[0];
				o[1] = e[1];
				o[2] = e[2];
				o[3] = 255;
			}
		}
		break;
	case 4:
		for (unsigned int px = 0; px < n; ++px, o += step, cur += 2) {
			o[0] = o[1] = o[2] = cur[0];
			o[3] = cur[1];
		}
		break;
	case 6:
		if (step == 4)
			memcpy(o, cur, (size_t)n * 4);
		else
			for (unsigned int px = 0; px < n; ++px, o += step, cur += 4)
				memcpy(o, cur, 4);
		break;
	}
}

void YsRawPngDecoder::FinishRow()
{
	Unfilter();
	ConvertRow();
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
