// JPEG decoding: a 4000 x 3000 photo from memory as the program decodes it
// (CAnyPicDecoder at 32 bits a pixel) against libjpeg-turbo alone with the
// same settings (float DCT, no fancy upsampling, blue-green-red-pad rows).
#include <benchmark/benchmark.h>
#include <jpeglib.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "picture/anypicdecoder.h"
#include "picture/winbmp.h"

namespace {

using Bytes = std::vector<unsigned char>;

// A photo-like picture (shading, texture, noise) encoded at quality 90.
const Bytes& photoJpeg() {
    static const Bytes bytes = [] {
        const int w = 4000, h = 3000;
        std::vector<unsigned char> rgb(size_t(w) * h * 3);
        uint32_t seed = 7;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                seed = seed * 1664525u + 1013904223u;
                const int noise = int(seed >> 27) - 16;
                for (int c = 0; c < 3; ++c) {
                    const int v = (x * (c + 2) + y * 3) / 40 % 256 + noise + ((x / 32 + y / 32) % 4) * 10;
                    rgb[(size_t(y) * w + x) * 3 + c] = (unsigned char)(v < 0 ? 0 : v > 255 ? 255 : v);
                }
            }
        jpeg_compress_struct c;
        jpeg_error_mgr err;
        c.err = jpeg_std_error(&err);
        jpeg_create_compress(&c);
        unsigned char* out = nullptr;
        unsigned long size = 0;
        jpeg_mem_dest(&c, &out, &size);
        c.image_width = w;
        c.image_height = h;
        c.input_components = 3;
        c.in_color_space = JCS_RGB;
        jpeg_set_defaults(&c);
        jpeg_set_quality(&c, 90, TRUE);
        jpeg_start_compress(&c, TRUE);
        while (c.next_scanline < c.image_height) {
            JSAMPROW row = &rgb[size_t(c.next_scanline) * w * 3];
            jpeg_write_scanlines(&c, &row, 1);
        }
        jpeg_finish_compress(&c);
        jpeg_destroy_compress(&c);
        Bytes b(out, out + size);
        free(out);
        return b;
    }();
    return bytes;
}

void BM_JpegOurDecoder(benchmark::State& state) {
    const Bytes& jpeg = photoJpeg();
    for (auto _ : state) {
        CWinBmp bmp;
        CAnyPicDecoder decoder;
        decoder.MakeBmpFromMemory(jpeg.data(), int(jpeg.size()), &bmp, 32);
        benchmark::DoNotOptimize(bmp.GetLine(0));
    }
}
BENCHMARK(BM_JpegOurDecoder)->Unit(benchmark::kMillisecond);

void BM_JpegLibjpegTurbo(benchmark::State& state) {
    const Bytes& jpeg = photoJpeg();
    std::vector<unsigned char> pixels;
    for (auto _ : state) {
        jpeg_decompress_struct d;
        jpeg_error_mgr err;
        d.err = jpeg_std_error(&err);
        jpeg_create_decompress(&d);
        jpeg_mem_src(&d, jpeg.data(), jpeg.size());
        jpeg_read_header(&d, TRUE);
        d.dct_method = JDCT_FLOAT;
        d.do_fancy_upsampling = FALSE;
        d.out_color_space = JCS_EXT_BGRX;
        jpeg_start_decompress(&d);
        pixels.resize(size_t(d.output_width) * d.output_height * 4);
        while (d.output_scanline < d.output_height) {
            JSAMPROW rows[16];
            const unsigned n = std::min(16u, d.output_height - d.output_scanline);
            for (unsigned k = 0; k < n; ++k) rows[k] = &pixels[size_t(d.output_scanline + k) * d.output_width * 4];
            jpeg_read_scanlines(&d, rows, n);
        }
        jpeg_finish_decompress(&d);
        jpeg_destroy_decompress(&d);
        benchmark::DoNotOptimize(pixels.data());
    }
}
BENCHMARK(BM_JpegLibjpegTurbo)->Unit(benchmark::kMillisecond);

}  // namespace
