// PNG files written by libpng and decoded by it as the reference, and small
// chunk surgery for malformed files.
#pragma once

#include <png.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace pngtest {

using Bytes = std::vector<uint8_t>;

struct PngSpec
{
	int width = 8, height = 8;
	int colorType = 2, bitDepth = 8;
	int interlace = 0;
	int filter = PNG_FILTER_UP;
	int compressionLevel = 6;
	int idatChunk = 0;   // > 0: IDAT chunks of at most that many bytes
	unsigned gamma = 0;   // > 0: a gAMA chunk
	bool trnsRgb = false; // a tRNS chunk with the keys 0x0102, 0x0304, 0x0506
	bool coarse = false;  // samples from four levels only: ties in the predictors
};

inline PngSpec MakeSpec(int width, int height, int colorType, int bitDepth)
{
	PngSpec s;
	s.width = width;
	s.height = height;
	s.colorType = colorType;
	s.bitDepth = bitDepth;
	return s;
}

inline int Channels(int colorType)
{
	switch (colorType) {
	case 2: return 3;
	case 4: return 2;
	case 6: return 4;
	default: return 1;
	}
}

// A sample with some smoothness (so that the filters matter) and some noise;
// coarse samples take four levels, so that the Paeth predictor meets ties.
inline unsigned Sample(int x, int y, int c, int bitDepth, bool coarse = false)
{
	if (coarse) {
		unsigned h = (unsigned)x * 73856093u ^ (unsigned)y * 19349663u ^ (unsigned)c * 83492791u;
		h ^= h >> 16;
		h *= 0x7feb352du;
		h ^= h >> 15;
		h *= 0x846ca68bu;
		h ^= h >> 16;
		const unsigned levels = bitDepth == 1 ? 2 : 4;
		return (h % levels) * (((1u << bitDepth) - 1) / (levels - 1));
	}
	unsigned v = (unsigned)(x * 37 + y * 11 + c * 71 + ((x * y * (c + 1) + x) % 7) * 13 + (x ^ y) * 5);
	if (bitDepth == 16)
		v = v * 263u + (unsigned)(x * y);
	return v & ((1u << bitDepth) - 1);
}

inline Bytes PackedRow(const PngSpec &s, int y)
{
	const int ch = Channels(s.colorType);
	Bytes row((size_t)(s.width * ch * s.bitDepth + 7) / 8, 0);
	for (int x = 0; x < s.width; ++x) {
		for (int c = 0; c < ch; ++c) {
			unsigned v = Sample(x, y, c, s.bitDepth, s.coarse);
			size_t i = (size_t)x * ch + c;
			if (s.bitDepth == 16) {
				row[2 * i] = (uint8_t)(v >> 8);
				row[2 * i + 1] = (uint8_t)v;
			}
			else if (s.bitDepth == 8)
				row[i] = (uint8_t)v;
			else {
				size_t bit = i * s.bitDepth;
				row[bit / 8] |= (uint8_t)(v << (8 - s.bitDepth - bit % 8));
			}
		}
	}
	return row;
}

inline void WriteToVector(png_structp p, png_bytep data, png_size_t n)
{
	auto *out = static_cast<Bytes *>(png_get_io_ptr(p));
	out->insert(out->end(), data, data + n);
}

inline Bytes EncodePng(const PngSpec &s)
{
	Bytes out;
	png_structp p = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
	png_infop info = png_create_info_struct(p);
	std::vector<Bytes> rows;
	std::vector<png_bytep> rowPtrs;
	if (setjmp(png_jmpbuf(p))) {
		png_destroy_write_struct(&p, &info);
		throw std::runtime_error("libpng could not write the picture");
	}
	png_set_write_fn(p, &out, WriteToVector, nullptr);
	png_set_IHDR(p, info, (png_uint_32)s.width, (png_uint_32)s.height, s.bitDepth, s.colorType,
	             s.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
	             PNG_FILTER_TYPE_DEFAULT);
	std::vector<png_color> palette;
	if (s.colorType == 3) {
		for (int i = 0; i < (1 << s.bitDepth); ++i)
			palette.push_back({(png_byte)(i * 7), (png_byte)(i * 13 + 5), (png_byte)(255 - i * 3)});
		png_set_PLTE(p, info, palette.data(), (int)palette.size());
	}
	if (s.gamma)
		png_set_gAMA_fixed(p, info, (png_fixed_point)s.gamma);
	if (s.trnsRgb) {
		png_color_16 key{0, 0x0102, 0x0304, 0x0506, 0};
		png_set_tRNS(p, info, nullptr, 0, &key);
	}
	png_set_filter(p, 0, s.filter);
	png_set_compression_level(p, s.compressionLevel);
	if (s.idatChunk > 0)
		png_set_compression_buffer_size(p, (png_size_t)s.idatChunk);
	png_write_info(p, info);
	for (int y = 0; y < s.height; ++y)
		rows.push_back(PackedRow(s, y));
	for (Bytes &r : rows)
		rowPtrs.push_back(r.data());
	png_write_image(p, rowPtrs.data());
	png_write_end(p, nullptr);
	png_destroy_write_struct(&p, &info);
	return out;
}

struct ReadState
{
	const Bytes *data;
	size_t pos;
};

inline void ReadFromVector(png_structp p, png_bytep data, png_size_t n)
{
	auto *st = static_cast<ReadState *>(png_get_io_ptr(p));
	if (st->pos + n > st->data->size())
		png_error(p, "read past the end");
	memcpy(data, st->data->data() + st->pos, n);
	st->pos += n;
}

// libpng's decode to 8-bit RGBA: palettes and low grey depths expanded,
// 16-bit samples cut to their high byte, grey spread to RGB, transparency
// keys not applied, alpha 255 where the picture has none.
inline Bytes LibpngDecode(const Bytes &png)
{
	ReadState st{&png, 0};
	png_structp p = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
	png_infop info = png_create_info_struct(p);
	Bytes out;
	std::vector<png_bytep> rows;
	if (setjmp(png_jmpbuf(p))) {
		png_destroy_read_struct(&p, &info, nullptr);
		throw std::runtime_error("libpng could not read the picture");
	}
	png_set_read_fn(p, &st, ReadFromVector);
	png_read_info(p, info);
	const int ct = png_get_color_type(p, info), bd = png_get_bit_depth(p, info);
	const png_uint_32 w = png_get_image_width(p, info), h = png_get_image_height(p, info);
	if (ct == PNG_COLOR_TYPE_PALETTE)
		png_set_palette_to_rgb(p);
	if ((ct & PNG_COLOR_MASK_COLOR) == 0 && bd < 8)
		png_set_expand_gray_1_2_4_to_8(p);
	if (bd == 16)
		png_set_strip_16(p);
	if ((ct & PNG_COLOR_MASK_COLOR) == 0)
		png_set_gray_to_rgb(p);
	if ((ct & PNG_COLOR_MASK_ALPHA) == 0)
		png_set_filler(p, 0xff, PNG_FILLER_AFTER);
	png_set_interlace_handling(p);
	png_read_update_info(p, info);
	out.resize((size_t)w * h * 4);
	for (png_uint_32 y = 0; y < h; ++y)
		rows.push_back(out.data() + (size_t)y * w * 4);
	png_read_image(p, rows.data());
	png_destroy_read_struct(&p, &info, nullptr);
	return out;
}

// Offset of the chunk's length field; throws when there is none.
inline size_t FindChunk(const Bytes &png, const char *type)
{
	size_t pos = 8;
	while (pos + 12 <= png.size()) {
		uint32_t len = ((uint32_t)png[pos] << 24) | (png[pos + 1] << 16) | (png[pos + 2] << 8) | png[pos + 3];
		if (memcmp(&png[pos + 4], type, 4) == 0)
			return pos;
		pos += 12 + (size_t)len;
	}
	throw std::runtime_error(std::string("no chunk ") + type);
}

inline int CountChunks(const Bytes &png, const char *type)
{
	int n = 0;
	size_t pos = 8;
	while (pos + 12 <= png.size()) {
		uint32_t len = ((uint32_t)png[pos] << 24) | (png[pos + 1] << 16) | (png[pos + 2] << 8) | png[pos + 3];
		n += memcmp(&png[pos + 4], type, 4) == 0;
		pos += 12 + (size_t)len;
	}
	return n;
}

// Data of the chunk; for IDAT all chunks joined.
inline Bytes ChunkData(const Bytes &png, const char *type)
{
	Bytes d;
	size_t pos = 8;
	while (pos + 12 <= png.size()) {
		uint32_t len = ((uint32_t)png[pos] << 24) | (png[pos + 1] << 16) | (png[pos + 2] << 8) | png[pos + 3];
		if (memcmp(&png[pos + 4], type, 4) == 0)
			d.insert(d.end(), png.begin() + pos + 8, png.begin() + pos + 8 + len);
		pos += 12 + (size_t)len;
	}
	return d;
}

inline Bytes MakeChunk(const char *type, const Bytes &data)
{
	Bytes c;
	uint32_t len = (uint32_t)data.size();
	c.push_back((uint8_t)(len >> 24));
	c.push_back((uint8_t)(len >> 16));
	c.push_back((uint8_t)(len >> 8));
	c.push_back((uint8_t)len);
	c.insert(c.end(), type, type + 4);
	c.insert(c.end(), data.begin(), data.end());
	uLong crc = crc32(0, reinterpret_cast<const Bytef *>(type), 4);
	crc = crc32(crc, data.data(), (uInt)data.size());
	for (int s = 24; s >= 0; s -= 8)
		c.push_back((uint8_t)(crc >> s));
	return c;
}

// Every chunk of that type removed and one with the new data put where the
// first one was.
inline Bytes ReplaceChunk(const Bytes &png, const char *type, const Bytes &data)
{
	Bytes out(png.begin(), png.begin() + 8);
	bool placed = false;
	size_t pos = 8;
	while (pos + 12 <= png.size()) {
		uint32_t len = ((uint32_t)png[pos] << 24) | (png[pos + 1] << 16) | (png[pos + 2] << 8) | png[pos + 3];
		if (memcmp(&png[pos + 4], type, 4) == 0) {
			if (!placed) {
				Bytes c = MakeChunk(type, data);
				out.insert(out.end(), c.begin(), c.end());
				placed = true;
			}
		}
		else
			out.insert(out.end(), png.begin() + pos, png.begin() + pos + 12 + len);
		pos += 12 + (size_t)len;
	}
	return out;
}

// zlib's inflate of the joined IDAT data.
inline Bytes InflateIdat(const Bytes &png, size_t rawSize)
{
	Bytes z = ChunkData(png, "IDAT");
	Bytes raw(rawSize + 1024);
	uLongf n = (uLongf)raw.size();
	if (uncompress(raw.data(), &n, z.data(), (uLong)z.size()) != Z_OK)
		throw std::runtime_error("zlib could not inflate IDAT");
	raw.resize(n);
	return raw;
}

inline Bytes DeflateBytes(const Bytes &raw)
{
	uLongf n = compressBound((uLong)raw.size());
	Bytes z(n);
	compress2(z.data(), &n, raw.data(), (uLong)raw.size(), 6);
	z.resize(n);
	return z;
}

} // namespace pngtest
