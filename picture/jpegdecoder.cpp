#include "picture/jpegdecoder.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "picture/picsource.h"
#include "picture/winbmp.h"

namespace {

// Library errors leave through longjmp back to the decoder, never by
// throwing through the library's frames.
struct JpegError {
  jpeg_error_mgr pub;
  jmp_buf jump;
};

void errorExit(j_common_ptr cinfo) {
  longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}

const JOCTET fakeEndOfImage[2] = {0xFF, 0xD9};

void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

// The library wants more than the memory holds: warn and hand it an
// end-of-image marker, so that a truncated picture decodes as far as it goes.
boolean fillInputBuffer(j_decompress_ptr cinfo) {
  WARNMS(cinfo, JWRN_JPEG_EOF);
  cinfo->src->next_input_byte = fakeEndOfImage;
  cinfo->src->bytes_in_buffer = 2;
  return TRUE;
}

void skipInputData(j_decompress_ptr cinfo, long n) {
  if (n <= 0) return;
  if (static_cast<size_t>(n) < cinfo->src->bytes_in_buffer) {
    cinfo->src->next_input_byte += n;
    cinfo->src->bytes_in_buffer -= static_cast<size_t>(n);
  } else {
    fillInputBuffer(cinfo);
  }
}

struct JpegProgress {
  jpeg_progress_mgr pub;
  CPicSource* source;
};

void progressMonitor(j_common_ptr cinfo) {
  auto* p = reinterpret_cast<JpegProgress*>(cinfo->progress);
  CProgressNotification* n = p->source->GetNotification();
  if (!n || p->pub.total_passes <= 0 || p->pub.pass_limit <= 0) return;
  n->ReportProgress((p->pub.completed_passes + double(p->pub.pass_counter) / p->pub.pass_limit) /
                    p->pub.total_passes);
}

// Owns the decompression object for one decode.
struct JpegState {
  jpeg_decompress_struct cinfo;
  JpegError err;
  jpeg_source_mgr src;
  JpegProgress progress;
  bool created = false;
  CWinBmp* lockedBmp = nullptr;

  ~JpegState() {
    if (lockedBmp) lockedBmp->Unlock();
    if (created) jpeg_destroy_decompress(&cinfo);
  }
};

}  // namespace

void CJPEGDecoder::DecodeFromSource(CWinBmp* bmp, std::unique_ptr<CPixel32[]>&, int* pDestBPP,
                                    CPicSource* source) {
  auto state = std::make_unique<JpegState>();
  JpegState* const st = state.get();
  std::memset(&st->cinfo, 0, sizeof st->cinfo);
  st->cinfo.err = jpeg_std_error(&st->err.pub);
  st->err.pub.error_exit = errorExit;

  if (setjmp(st->err.jump)) {
    char message[JMSG_LENGTH_MAX];
    (*st->cinfo.err->format_message)(reinterpret_cast<j_common_ptr>(&st->cinfo), message);
    if (st->created) jpeg_abort_decompress(&st->cinfo);
    raiseError(PL_ERR_NOT_SUPPORTED, "%s\n", message);
  }

  jpeg_create_decompress(&st->cinfo);
  st->created = true;

  const int avail = source->GetBytesLeft();
  st->src.next_input_byte = source->ReadBytes(avail);
  st->src.bytes_in_buffer = static_cast<size_t>(avail);
  st->src.init_source = initSource;
  st->src.fill_input_buffer = fillInputBuffer;
  st->src.skip_input_data = skipInputData;
  st->src.resync_to_restart = jpeg_resync_to_restart;
  st->src.term_source = termSource;
  st->cinfo.src = &st->src;
  st->progress.pub.progress_monitor = progressMonitor;
  st->progress.source = source;
  st->cinfo.progress = &st->progress.pub;

  jpeg_read_header(&st->cinfo, TRUE);
  // Refused before the library allocates the picture: one above the limit,
  // and one whose data can't hold it. Huffman coding spends at least a bit
  // on every 8 x 8 block of the first component (arithmetic coding may
  // spend less, so only the limit holds there).
  const uint64_t imageWidth = st->cinfo.image_width, imageHeight = st->cinfo.image_height;
  const uint64_t blocks = (imageWidth + 7) / 8 * ((imageHeight + 7) / 8);
  if (!st->cinfo.arith_code && blocks > uint64_t(avail) * 8)
    throw CTextException(PL_ERR_END_OF_FILE, "End of file reached while decoding.\n");
  checkPictureSize(int64_t(imageWidth), int64_t(imageHeight));
  if (m_bFast) st->cinfo.do_fancy_upsampling = FALSE;
  st->cinfo.dct_method = JDCT_FLOAT;

  const bool grey = st->cinfo.jpeg_color_space == JCS_GRAYSCALE;
  if (grey) {
    if (*pDestBPP == 0) *pDestBPP = 8;
    if (*pDestBPP != 8) *pDestBPP = 32;
  } else {
    *pDestBPP = 32;
  }
  // A grey picture at 32 bits comes out as blue = green = red with alpha
  // 255; CMYK and YCCK can't become this, the library says so at the start.
  st->cinfo.out_color_space = grey && *pDestBPP == 8 ? JCS_GRAYSCALE : JCS_EXT_BGRX;
  jpeg_start_decompress(&st->cinfo);

  const int width = static_cast<int>(st->cinfo.output_width);
  const int height = static_cast<int>(st->cinfo.output_height);
  bmp->Create(width, height, static_cast<uint16_t>(*pDestBPP), false);
  bmp->Lock(false, true);
  st->lockedBmp = bmp;

  // The rows go straight into the bitmap's rows.
  constexpr int kRows = 16;
  JSAMPROW rows[kRows];
  while (st->cinfo.output_scanline < st->cinfo.output_height) {
    const int y = static_cast<int>(st->cinfo.output_scanline);
    const int n = std::min(kRows, height - y);
    for (int k = 0; k < n; ++k) rows[k] = bmp->GetLine(y + k);
    const int read = static_cast<int>(jpeg_read_scanlines(&st->cinfo, rows, static_cast<JDIMENSION>(n)));
    if (grey) continue;
    // The colour picture's alpha byte stays as created.
    for (int k = 0; k < read; ++k) {
      uint8_t* line = rows[k];
      for (int x = 0; x < width; ++x) line[4 * x + 3] = 0;
    }
  }
  jpeg_finish_decompress(&st->cinfo);
}
