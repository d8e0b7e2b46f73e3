// PNG decoding: our decoder (inflate, row filters, RGBA output, and the
// bitmap the program makes of it) against libpng on the same 512 x 512
// files, read from memory into 8-bit RGBA.
#include <benchmark/benchmark.h>
#include <png.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "picture/png.h"
#include "picture/winbmp.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A photo-like picture: smooth shading, fine texture and a little noise.
Bytes PhotoPixels(int w, int h, int channels)
{
	Bytes p((size_t)w * h * channels);
	uint32_t seed = 7;
	for (int y = 0; y < h; ++y)
		for (int x = 0; x < w; ++x) {
			seed = seed * 1664525u + 1013904223u;
			const int noise = int(seed >> 28) - 8;
			const int shade = (x * 3 + y * 2) / 5 + ((x / 16 + y / 16) % 3) * 20;
			for (int c = 0; c < channels; ++c) {
				int v = c == 3 ? 255 - (x + y) / 8 : shade + c * 30 + noise + ((x * (c + 1) + y) % 7);
				p[((size_t)y * w + x) * channels + c] = (uint8_t)std::min(255, std::max(0, v));
			}
		}
	return p;
}

void ToVector(png_structp p, png_bytep data, png_size_t n)
{
	auto *out = static_cast<Bytes *>(png_get_io_ptr(p));
	out->insert(out->end(), data, data + n);
}

// libpng's encoder with its default filters and compression.
Bytes EncodePng(const Bytes &pixels, int w, int h, int channels)
{
	Bytes out;
	png_structp p = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
	png_infop info = png_create_info_struct(p);
	if (setjmp(png_jmpbuf(p)))
		throw std::runtime_error("libpng could not write the picture");
	png_set_write_fn(p, &out, ToVector, nullptr);
	png_set_IHDR(p, info, (png_uint_32)w, (png_uint_32)h, 8, channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
	             PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
	png_write_info(p, info);
	for (int y = 0; y < h; ++y)
		png_write_row(p, const_cast<png_bytep>(pixels.data() + (size_t)y * w * channels));
	png_write_end(p, info);
	png_destroy_write_struct(&p, &info);
	return out;
}

struct Reader
{
	const Bytes *data;
	size_t pos;
};

void FromVector(png_structp p, png_bytep out, png_size_t n)
{
	auto *r = static_cast<Reader *>(png_get_io_ptr(p));
	if (r->pos + n > r->data->size())
		png_error(p, "read past the end");
	std::copy(r->data->begin() + (long)r->pos, r->data->begin() + (long)(r->pos + n), out);
	r->pos += n;
}

// libpng's decode to 8-bit RGBA rows.
void LibpngDecode(const Bytes &png, Bytes &rgba)
{
	png_structp p = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
	png_infop info = png_create_info_struct(p);
	if (setjmp(png_jmpbuf(p)))
		throw std::runtime_error("libpng could not read the picture");
	Reader r{&png, 0};
	png_set_read_fn(p, &r, FromVector);
	png_read_info(p, info);
	png_set_expand(p);
	png_set_strip_16(p);
	png_set_gray_to_rgb(p);
	png_set_filler(p, 0xFF, PNG_FILLER_AFTER);
	png_read_update_info(p, info);
	const png_uint_32 w = png_get_image_width(p, info), h = png_get_image_height(p, info);
	rgba.resize((size_t)w * h * 4);
	std::vector<png_bytep> rows(h);
	for (png_uint_32 y = 0; y < h; ++y)
		rows[y] = rgba.data() + (size_t)y * w * 4;
	png_read_image(p, rows.data());
	png_read_end(p, nullptr);
	png_destroy_read_struct(&p, &info, nullptr);
}

// The files: 0 a photo-like RGB picture, 1 the same with alpha, 2 and 3
// ImageMagick's built-in photo and logo scaled to 512 x 512 (empty when
// ImageMagick is not there).
const Bytes &File(int which)
{
	static std::vector<Bytes> files = [] {
		std::vector<Bytes> f;
		f.push_back(EncodePng(PhotoPixels(512, 512, 3), 512, 512, 3));
		f.push_back(EncodePng(PhotoPixels(512, 512, 4), 512, 512, 4));
		for (const char *source : {"rose:", "logo:"}) {
			std::string path = "/tmp/brivanta_png_bench_" + std::to_string(getpid()) + ".png";
			std::string cmd = std::string("/usr/bin/convert ") + source + " -resize '512x512!' '" + path + "' 2>/dev/null";
			Bytes b;
			if (std::system(cmd.c_str()) == 0) {
				std::ifstream in(path, std::ios::binary);
				b.assign(std::istreambuf_iterator<char>(in), {});
			}
			std::remove(path.c_str());
			f.push_back(b);
		}
		return f;
	}();
	return files[(size_t)which];
}

const char *Name(int which)
{
	static const char *names[] = {"photo RGB", "photo RGBA", "rose", "logo"};
	return names[which];
}

void BM_PngOurDecoder(benchmark::State &state)
{
	const Bytes &png = File((int)state.range(0));
	if (png.empty()) {
		state.SkipWithError("ImageMagick is not installed");
		return;
	}
	for (auto _ : state) {
		YsRawPngDecoder dec;
		dec.Decode(png.data(), png.size());
		benchmark::DoNotOptimize(dec.rgba.data());
	}
	state.SetLabel(Name((int)state.range(0)));
	state.SetBytesProcessed(state.iterations() * 512 * 512 * 4);
}

// What the program runs: the decode and the bitmap made of it.
void BM_PngOurBitmap(benchmark::State &state)
{
	const Bytes &png = File((int)state.range(0));
	if (png.empty()) {
		state.SkipWithError("ImageMagick is not installed");
		return;
	}
	for (auto _ : state) {
		CWinBmp bmp;
		MakeBmpFromPNGData(png.data(), png.size(), &bmp, 32);
		benchmark::DoNotOptimize(bmp.GetData());
	}
	state.SetLabel(Name((int)state.range(0)));
	state.SetBytesProcessed(state.iterations() * 512 * 512 * 4);
}

void BM_PngLibpng(benchmark::State &state)
{
	const Bytes &png = File((int)state.range(0));
	if (png.empty()) {
		state.SkipWithError("ImageMagick is not installed");
		return;
	}
	for (auto _ : state) {
		Bytes rgba;   // a new picture each time, as ours makes
		LibpngDecode(png, rgba);
		benchmark::DoNotOptimize(rgba.data());
	}
	state.SetLabel(Name((int)state.range(0)));
	state.SetBytesProcessed(state.iterations() * 512 * 512 * 4);
}

BENCHMARK(BM_PngOurDecoder)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngOurBitmap)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngLibpng)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

} // namespace
