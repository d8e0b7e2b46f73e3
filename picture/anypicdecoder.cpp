#include "picture/anypicdecoder.h"

#include <cctype>
#include <string>

#include "picture/decoder_registry.h"
#include "picture/picsource.h"
#include "picture/winbmp.h"

namespace {

// The first bytes of a source; a byte past the end matches nothing.
class Head {
 public:
  explicit Head(CPicSource* source) : m_Avail(source->GetBytesLeft()) {
    m_Data = m_Avail > 0 ? source->PeekBytes(m_Avail) : nullptr;
  }
  int at(int i) const { return i < m_Avail ? m_Data[i] : -1; }
  bool is(int offset, std::initializer_list<int> bytes) const {
    int i = offset;
    for (int b : bytes)
      if (at(i++) != b) return false;
    return true;
  }
  bool has(int n) const { return m_Avail >= n; }
  uint32_t le32(int offset) const {
    return uint32_t(at(offset)) | uint32_t(at(offset + 1)) << 8 | uint32_t(at(offset + 2)) << 16 |
           uint32_t(at(offset + 3)) << 24;
  }
  int avail() const { return m_Avail; }

 private:
  const uint8_t* m_Data = nullptr;
  int m_Avail;
};

bool oneOf(int v, std::initializer_list<int> values) {
  for (int x : values)
    if (v == x) return true;
  return false;
}

}  // namespace

CAnyPicDecoder::CAnyPicDecoder() {
  for (PicType t : {PL_FT_BMP, PL_FT_PICT, PL_FT_TGA, PL_FT_TIFF, PL_FT_JPEG, PL_FT_WMF, PL_FT_PCX, PL_FT_PGM, PL_FT_GIF})
    m_Decoders[t] = CreateFormatDecoder(t, *this);
}

CAnyPicDecoder::~CAnyPicDecoder() = default;

CPicDecoder* CAnyPicDecoder::GetDecoder(PicType type) const {
  if (type == PL_FT_EMF) type = PL_FT_WMF;
  if (type == PL_FT_EPSTIFF) type = PL_FT_TIFF;
  if (type <= PL_FT_UNKNOWN || type >= PL_FT_COUNT) return nullptr;
  return m_Decoders[type].get();
}

PicType CAnyPicDecoder::GetFileFormat(CPicSource* source) {
  std::string name = source->GetName();
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (name.find(".WMF") != std::string::npos) return PL_FT_WMF;
  if (name.find(".EMF") != std::string::npos) return PL_FT_EMF;

  Head h(source);
  if (h.is(0, {'B', 'M'})) return PL_FT_BMP;
  if (h.has(17) && h.at(1) < 2 && oneOf(h.at(2), {0, 1, 2, 3, 9, 10, 11}) && oneOf(h.at(7), {0, 8, 15, 16, 24, 32}) &&
      oneOf(h.at(16), {8, 15, 16, 24, 32}))
    return PL_FT_TGA;
  if (h.is(0, {0x49, 0x49, 0x2A, 0x00}) || h.is(0, {0x4D, 0x4D, 0x00, 0x2A})) return PL_FT_TIFF;
  if (h.is(0, {'G', 'I', 'F', '8'})) return PL_FT_GIF;
  // A 512-byte header, then the picture size and frame.
  if (h.avail() > 540 &&
      (h.is(522, {0x00, 0x11, 0x02, 0xFF}) || h.is(522, {0x00, 0x11, 0x01}) || h.is(522, {0x11, 0x01, 0x01, 0x00})))
    return PL_FT_PICT;
  if (h.is(0, {0xFF, 0xD8, 0xFF})) return PL_FT_JPEG;
  if (h.is(0, {0x89, 'P', 'N', 'G'})) return PL_FT_PNG;
  if ((h.is(0, {0xC5, 0xD0, 0xD3, 0xC6}) || h.is(0, {0xC6, 0xD3, 0xD0, 0xC5})) && h.has(28) && h.le32(20) != 0 &&
      h.le32(24) != 0)
    return PL_FT_EPSTIFF;
  if (h.at(0) == 0x0A && h.at(2) == 1) return PL_FT_PCX;
  if (h.at(0) == 'P' && (h.at(1) == '2' || h.at(1) == '5')) return PL_FT_PGM;
  return PL_FT_UNKNOWN;
}

void CAnyPicDecoder::MakeBmpFromSource(CPicSource* source, CWinBmp* bmp, int bitsPerPixel) {
  PicType type = GetFileFormat(source);
  switch (type) {
    case PL_FT_BMP: trace(2, "Windows bitmap recognized.\n"); break;
    case PL_FT_PICT: trace(2, "Mac PICT recognized.\n"); break;
    case PL_FT_TGA: trace(2, "TGA file recognized.\n"); break;
    case PL_FT_TIFF: trace(2, "TIFF file recognized.\n"); break;
    case PL_FT_JPEG: trace(2, "JPEG file recognized.\n"); break;
    case PL_FT_EPSTIFF: trace(2, "TIFF preview in EPS file recognized.\n"); break;
    case PL_FT_WMF: trace(2, "WMF file recognized.\n"); break;
    case PL_FT_EMF: trace(2, "EMF file recognized.\n"); break;
    case PL_FT_PCX: trace(2, "PCX file recognized.\n"); break;
    case PL_FT_PGM: trace(2, "PGM file recognized.\n"); break;
    case PL_FT_GIF: trace(2, "GIF file recognized.\n"); break;
    default: break;
  }
  if (type == PL_FT_UNKNOWN) raiseError(PL_ERR_UNKNOWN_FILE_TYPE, "Unknown file type.");
  CPicDecoder* decoder = type == PL_FT_PNG ? nullptr : GetDecoder(type);
  if (!decoder) raiseError(PL_ERR_NOT_SUPPORTED, "Library not compiled for this file type.");
  if (type == PL_FT_EPSTIFF) {
    const uint8_t* p = source->PeekBytes(24);
    uint32_t offset = uint32_t(p[20]) | uint32_t(p[21]) << 8 | uint32_t(p[22]) << 16 | uint32_t(p[23]) << 24;
    if (offset > uint32_t(source->GetBytesLeft()))
      throw CTextException(PL_ERR_END_OF_FILE, "End of file reached while decoding.\n");
    source->ReadBytes(static_cast<int>(offset));
  }
  decoder->MakeBmpFromSource(source, bmp, bitsPerPixel);
}
