#include "picture/metafiledecoder.h"

#include <cctype>
#include <string>

#include "picture/metafile_player.h"
#include "picture/picsource.h"
#include "picture/winbmp.h"

void CWMFDecoder::DecodeFromSource(CWinBmp* bmp, std::unique_ptr<CPixel32[]>&, int* pDestBPP, CPicSource* source) {
  std::string name = source->GetName();
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const bool enhanced = name.find(".EMF") != std::string::npos;

  const int size = source->GetBytesLeft();
  const uint8_t* data = source->ReadBytes(size);
  const MetafileInfo info = ReadMetafileInfo(data, static_cast<size_t>(size), enhanced);
  // nothing to draw: the metafile can't be shown
  if (PlayMetafile(info, nullptr) == 0)
    raiseError(PL_ERR_NOT_SUPPORTED, "Windows Metafile functions failed to load this image.");

  *pDestBPP = 32;
  createBitmap(bmp, info.width, info.height, 32, true);
  bmp->Lock(false, true);
  for (int y = 0; y < info.height; ++y) {
    CPixel32* line = reinterpret_cast<CPixel32*>(bmp->GetLine(y));
    for (int x = 0; x < info.width; ++x) line[x] = CPixel32(255, 255, 255, 255);
  }
  PlayMetafile(info, bmp);
  bmp->Unlock();
}
