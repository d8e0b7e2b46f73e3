#include "picture/gifdecoder.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "picture/membmp.h"
#include "picture/picsource.h"
#include "picture/winbmp.h"

namespace {

// What the input function shares with the decoder: the source, and the
// failure of a read, kept until giflib has been left and the file closed.
struct GifInput {
  CPicSource* source;
  bool ranOut = false;
};

// Never throws through giflib: a read past the end is a short read.
int readInput(GifFileType* gif, GifByteType* buf, int len) {
  auto* in = static_cast<GifInput*>(gif->UserData);
  int n = std::min(len, in->source->GetBytesLeft());
  if (n < 0) n = 0;
  if (n > 0) std::memcpy(buf, in->source->ReadBytes(n), static_cast<size_t>(n));
  if (n < len) in->ranOut = true;
  return n;
}

// The 5.x interface in one place.
class GifFile {
 public:
  explicit GifFile(GifInput* input) { m_Gif = DGifOpen(input, readInput, &m_OpenError); }
  ~GifFile() { Close(); }
  GifFile(const GifFile&) = delete;
  GifFile& operator=(const GifFile&) = delete;

  GifFileType* get() const { return m_Gif; }
  int OpenError() const { return m_OpenError; }
  void Close() {
    if (m_Gif) {
      int err = 0;
      DGifCloseFile(m_Gif, &err);
      m_Gif = nullptr;
    }
  }
  static const char* ErrorText(int code) {
    const char* text = GifErrorString(code);
    return text ? text : "Unknown GIF error.";
  }

 private:
  GifFileType* m_Gif = nullptr;
  int m_OpenError = 0;
};

}  // namespace

void CGIFDecoder::DecodeFromSource(CWinBmp* bmp, std::unique_ptr<CPixel32[]>&, int* pDestBPP, CPicSource* source) {
  GifInput input{source};
  GifFile file(&input);
  GifFileType* gif = file.get();

  // A failing library call ends the decode: data that ran out gives code 11,
  // anything else the library's message.
  auto fail = [&](int gifError) {
    file.Close();
    if (input.ranOut) throw CTextException(PL_ERR_END_OF_FILE, "End of file reached while decoding.\n");
    raiseError(PL_ERR_FORMAT, "%s", GifFile::ErrorText(gifError));
  };
  if (!gif) fail(file.OpenError());

  // An LZW code of at most 12 bits gives at most 4096 pixels, so a byte of
  // data at most 2731: data that can't fill the screen is refused before the
  // bitmap is made.
  const int screenWidth = gif->SWidth, screenHeight = gif->SHeight;
  const uint64_t screenPixels = uint64_t(std::max(screenWidth, 0)) * uint64_t(std::max(screenHeight, 0));
  if (screenPixels > uint64_t(source->GetFileSize()) * 2731) {
    file.Close();
    throw CTextException(PL_ERR_END_OF_FILE, "End of file reached while decoding.\n");
  }
  createBitmap(bmp, screenWidth, screenHeight, 8, false);
  bmp->Lock(false, true);
  struct Unlocker {
    CWinBmp* b;
    ~Unlocker() { b->Unlock(); }
  } unlocker{bmp};
  if (screenHeight > 0) std::memset(bmp->GetLine(0), gif->SBackGroundColor, static_cast<size_t>(screenWidth));

  // The picture is the first image, in its own colour map: later images (the
  // frames of an animation) are not drawn.
  const ColorMapObject* colorMap = nullptr;
  std::vector<GifPixelType> line;
  int imageCount = 0;
  GifRecordType record = UNDEFINED_RECORD_TYPE;
  do {
    if (DGifGetRecordType(gif, &record) == GIF_ERROR) fail(gif->Error);
    if (record == IMAGE_DESC_RECORD_TYPE) {
      if (DGifGetImageDesc(gif) == GIF_ERROR) fail(gif->Error);
      ++imageCount;
      const int left = gif->Image.Left, top = gif->Image.Top;
      const int width = gif->Image.Width, height = gif->Image.Height;
      if (left + width > screenWidth || top + height > screenHeight)
        fprintf(stderr, "Image %d is not confined to screen dimension, aborted.\n", imageCount);
      line.assign(static_cast<size_t>(std::max(width, 1)), 0);
      // the part of each row that lies on the screen
      const int firstX = std::min(std::max(left, 0), screenWidth);
      const int endX = std::min(left + width, screenWidth);
      auto readRow = [&](int row) {
        if (DGifGetLine(gif, line.data(), width) == GIF_ERROR) fail(gif->Error);
        const int y = top + row;
        if (y >= 0 && y < screenHeight && endX > firstX)
          std::memcpy(bmp->GetLine(y) + firstX, line.data() + (firstX - left), static_cast<size_t>(endX - firstX));
      };
      if (width > 0) {
        if (gif->Image.Interlace) {
          static const int offsets[4] = {0, 4, 2, 1}, steps[4] = {8, 8, 4, 2};
          for (int pass = 0; pass < 4; ++pass)
            for (int row = offsets[pass]; row < height; row += steps[pass]) readRow(row);
        } else {
          for (int row = 0; row < height; ++row) readRow(row);
        }
      }
      colorMap = gif->Image.ColorMap ? gif->Image.ColorMap : gif->SColorMap;
      break;
    } else if (record == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* ext = nullptr;
      if (DGifGetExtension(gif, &code, &ext) == GIF_ERROR) fail(gif->Error);
      while (ext) {
        if (DGifGetExtensionNext(gif, &ext) == GIF_ERROR) fail(gif->Error);
      }
    }
  } while (record != TERMINATE_RECORD_TYPE);

  if (!colorMap) colorMap = gif->SColorMap;
  // without a colour map the grey ramp of Create stays
  if (colorMap && colorMap->Colors) {
    const int n = std::min(colorMap->ColorCount, 256);
    for (int i = 0; i < n; ++i) {
      const GifColorType& c = colorMap->Colors[i];
      bmp->SetPaletteEntry(i, CPixel32(c.Red, c.Green, c.Blue, 255));
    }
  }
  file.Close();

  if (*pDestBPP == 32) {
    CMemBmp scratch;
    scratch.CreateCopy(*bmp, 32);
    bmp->CreateCopy(scratch, 32);
  } else {
    *pDestBPP = 8;
  }
}
