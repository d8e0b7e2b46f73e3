#include "picture/picencoder.h"

#include "picture/basebmp.h"
#include "picture/picsink.h"
#include "picture/pictrace.h"
#include "picture/textexception.h"
#include "picture/winbmp.h"

void CPicEncoder::WriteToSink(const CBaseBmp* bmp, CPicSink* sink) { EncodeBitmap(bmp, sink); }

void CBmpEncoder::MakeFileFromBmp(const char* path, const CBaseBmp* bmp) {
  PLTrace(1, "--- Encoding file %s. ---\n", path);
  size_t memSize = bmp->GetMemorySize();
  size_t bufSize = memSize > 19999 ? static_cast<size_t>(memSize * 1.2) : memSize + 4096;
  if (bufSize > 0x7FFFFFFF) throw CTextException(PL_ERR_NO_MEMORY, "Out of memory.");
  CPicFileSink sink;
  if (sink.Open(path, static_cast<int>(bufSize)) != 0) PLRaiseError(PL_ERR_OPEN_OUTPUT, "Opening %s failed", path);
  WriteToSink(bmp, &sink);
  sink.Close();
}

void CBmpEncoder::EncodeBitmap(const CBaseBmp* bmp, CPicSink* sink) {
  const int w = bmp->GetWidth();
  const int h = bmp->GetHeight();
  const int srcBpp = bmp->GetBitsPerPixel();
  if (srcBpp != 1 && srcBpp != 4 && srcBpp != 8 && srcBpp != 24 && srcBpp != 32)
    throw CTextException(PL_ERR_NOT_SUPPORTED, "Illegal bpp value in conversion.");
  const int bpp = srcBpp <= 8 ? srcBpp : 24;
  const int lineBytes = CWinBmp::LineBytes(w, static_cast<uint16_t>(bpp));
  const uint32_t palBytes = bpp <= 8 ? 4u << bpp : 0;
  const uint32_t offBits = 54 + palBytes;
  const uint32_t fileSize = offBits + uint32_t(lineBytes) * uint32_t(h);

  const_cast<CBaseBmp*>(bmp)->Lock(true, false);
  sink->WriteBytes("BM", 2);
  sink->WriteLELong(fileSize);
  sink->WriteLEWord(0);
  sink->WriteLEWord(0);
  sink->WriteLELong(offBits);
  sink->WriteLELong(40);
  sink->WriteLELong(static_cast<uint32_t>(w));
  sink->WriteLELong(static_cast<uint32_t>(h));
  sink->WriteLEWord(1);
  sink->WriteLEWord(static_cast<uint16_t>(bpp));
  for (int i = 0; i < 6; ++i) sink->WriteLELong(0);

  if (bpp <= 8) {
    sink->WriteBytes(bmp->GetPalette(), static_cast<int>(palBytes));
    const int srcLineBytes = bmp->GetLineBytes();
    static const uint8_t zeros[4] = {0, 0, 0, 0};
    for (int y = h - 1; y >= 0; --y) {
      // A bitmap kind with unpadded rows gets the padding here.
      int n = srcLineBytes < lineBytes ? srcLineBytes : lineBytes;
      sink->WriteBytes(bmp->GetLine(y), n);
      if (n < lineBytes) sink->WriteBytes(zeros, lineBytes - n);
    }
  } else {
    const int pad = lineBytes - 3 * w;
    for (int y = h - 1; y >= 0; --y) {
      for (int x = 0; x < w; ++x) {
        // 24-bit rows (from a packed DIB) are already blue, green, red.
        sink->WriteBytes(bmp->GetLine(y) + size_t(x) * (srcBpp / 8), 3);
      }
      for (int i = 0; i < pad; ++i) sink->WriteByte(i == 0 ? 0x20 : 0x00);
    }
  }
  const_cast<CBaseBmp*>(bmp)->Unlock();
}
