// JPEG decoding: a 4000 x 3000 photo from memory as the program decodes it
// (CAnyPicDecoder at 32 bits a pixel) against libjpeg-turbo alone with the
// same settings (float DCT, no fancy upsampling, blue-green-red-pad rows).
#include <benchmark/benchmark.h>
#include <jpeglib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "picture/anypicdecoder.h"
#include "picture/winbmp.h"

namespace {

using Bytes = std::vector<unsigned char>;

// A 4000 x 3000 photo-like picture (a gradient with noise) that
// ImageMagick encodes at quality 90.
const Bytes& photoJpeg() {
    static const Bytes bytes = [] {
        const std::string path = (std::filesystem::temp_directory_path() / "brv_jpeg_bench.jpg").string();
        const std::string make = "convert -size 4000x3000 gradient:tan-navy -attenuate 0.4 +noise Gaussian "
                                 "-quality 90 '" + path + "'";
        Bytes b;
        if (std::system(make.c_str()) != 0) return b;
        std::ifstream in(path, std::ios::binary);
        b.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        std::remove(path.c_str());
        return b;
    }();
    return bytes;
}

void BM_JpegOurDecoder(benchmark::State& state) {
    const Bytes& jpeg = photoJpeg();
    if (jpeg.empty()) return state.SkipWithError("ImageMagick could not make the photo");
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
    if (jpeg.empty()) return state.SkipWithError("ImageMagick could not make the photo");
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
