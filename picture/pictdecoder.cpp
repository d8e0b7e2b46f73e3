#include "picture/pictdecoder.h"

#include <algorithm>
#include <cstring>

#include "picture/anypicdecoder.h"
#include "picture/picsource.h"
#include "picture/winbmp.h"

namespace {

// Data lengths of the opcodes 0x00 to 0xA1; -1: a length word follows,
// -2: handled on its own.
const signed char opcodeLengths[0xA2] = {
    /* 0x00 */ 0, -2, 8, 2, 1, 2, 4, 4, 2, 8, 8, 4, 4, 2, 4, 4,
    /* 0x10 */ 8, 1, -2, -2, -2, 2, 2, 0, 0, 0, 6, 6, 0, 6, 0, 6,
    /* 0x20 */ 8, 4, 6, 2, -1, -1, -1, -1, -2, -2, -2, -2, -1, -1, -1, -1,
    /* 0x30 */ 8, 8, 8, 8, 8, 8, 8, 8, 0, 0, 0, 0, 0, 0, 0, 0,
    /* 0x40 */ 8, 8, 8, 8, 8, 8, 8, 8, 0, 0, 0, 0, 0, 0, 0, 0,
    /* 0x50 */ 8, 8, 8, 8, 8, 8, 8, 8, 0, 0, 0, 0, 0, 0, 0, 0,
    /* 0x60 */ 12, 12, 12, 12, 12, 12, 12, 12, 4, 4, 4, 4, 4, 4, 4, 4,
    /* 0x70 */ -2, -2, -2, -2, -2, -2, -2, -2, 0, 0, 0, 0, 0, 0, 0, 0,
    /* 0x80 */ -2, -2, -2, -2, -2, -2, -2, -2, 0, 0, 0, 0, 0, 0, 0, 0,
    /* 0x90 */ -2, -2, -1, -1, -1, -1, -1, -1, -2, -2, -2, -2, -1, -1, -1, -1,
    /* 0xA0 */ 2, -2};

// Largest bitmap row the decoder unpacks: four components of 65535 pixels.
const int maxRowBytes = 4 * 65535;

}  // namespace

struct CPictDecoder::PixMap {
  int rowBytes = 0;
  bool isPixMap = false;
  Rect bounds;
  int packType = 0, pixelSize = 1, cmpCount = 1, cmpSize = 1;
  std::vector<CPixel32> colours;
};

CPictDecoder::Rect CPictDecoder::readRect(CPicSource* source) {
  Rect r;
  r.top = static_cast<int16_t>(source->ReadBEWord());
  r.left = static_cast<int16_t>(source->ReadBEWord());
  r.bottom = static_cast<int16_t>(source->ReadBEWord());
  r.right = static_cast<int16_t>(source->ReadBEWord());
  return r;
}

int CPictDecoder::readOpcode(CPicSource* source) {
  if (m_Version == 1) return source->ReadByte();
  // version 2 opcodes lie on even positions
  if ((source->GetBytesRead() - m_PictStart) & 1) source->ReadByte();
  return source->ReadBEWord();
}

void CPictDecoder::skipPolyOrRegion(CPicSource* source) {
  const int size = source->ReadBEWord();
  if (size >= 2) source->ReadBytes(size - 2);
}

void CPictDecoder::readColourTable(CPicSource* source, std::vector<CPixel32>& table) {
  source->ReadBEWord();  // seed
  source->ReadBEWord();
  const int flags = source->ReadBEWord();
  const int size = source->ReadBEWord() + 1;
  table.assign(256, CPixel32(0, 0, 0, 255));
  for (int i = 0; i < size; ++i) {
    int value = source->ReadBEWord();
    if (flags & 0x8000) value = i;
    const uint8_t* rgb = source->ReadBytes(6);
    if (value >= size || value >= 256) raiseError(PL_ERR_FORMAT, "pixel value greater than colour table size.");
    table[static_cast<size_t>(value)] = CPixel32(rgb[0], rgb[2], rgb[4], 255);
  }
}

void CPictDecoder::skipPixPat(CPicSource* source) {
  const int type = source->ReadBEWord();
  source->ReadBytes(8);  // the old pattern
  if (type == 2) {
    source->ReadBytes(5);
    return;
  }
  if (type != 1) raiseError(PL_ERR_FORMAT, "Unknown pattern type in pixPat.");
  PixMap pm;
  pm.rowBytes = source->ReadBEWord() & 0x3FFF;
  pm.bounds = readRect(source);
  source->ReadBytes(2 + 2 + 4 + 4 + 4);  // version, pack type and size, resolutions
  source->ReadBEWord();                  // pixel type
  pm.pixelSize = source->ReadBEWord();
  source->ReadBytes(2 + 2 + 4 + 4 + 4);  // components, plane bytes, table, reserved
  std::vector<CPixel32> table;
  readColourTable(source, table);
  // the pattern's rows: packed like the bitmap rows, but only skipped
  const int height = std::max(pm.bounds.bottom - pm.bounds.top, 0);
  for (int y = 0; y < height; ++y) {
    if (pm.rowBytes < 8) {
      source->ReadBytes(pm.rowBytes);
    } else {
      const int len = pm.rowBytes > 250 ? source->ReadBEWord() : source->ReadByte();
      source->ReadBytes(len);
    }
  }
}

void CPictDecoder::skipOpcode(CPicSource* source, int opcode) {
  if (opcode <= 0xA1) {
    const int len = opcodeLengths[opcode];
    if (len >= 0) {
      source->ReadBytes(len);
      return;
    }
    if (len == -1) {
      source->ReadBytes(source->ReadBEWord());
      return;
    }
    switch (opcode) {
      case 0x01: {  // clip: a rectangle, or a region skipped
        skipPolyOrRegion(source);
        return;
      }
      case 0x12:
      case 0x13:
      case 0x14:
        skipPixPat(source);
        return;
      case 0x28:  // long text: location, count, text
        source->ReadBytes(4);
        source->ReadBytes(source->ReadByte());
        return;
      case 0x29:
      case 0x2A:
        source->ReadBytes(1);
        source->ReadBytes(source->ReadByte());
        return;
      case 0x2B:
        source->ReadBytes(2);
        source->ReadBytes(source->ReadByte());
        return;
      case 0xA1:  // long comment: kind and data
        source->ReadBEWord();
        source->ReadBytes(source->ReadBEWord());
        return;
      default:  // polygons and regions
        skipPolyOrRegion(source);
        return;
    }
  }
  if (opcode == 0x0C00) {
    source->ReadBytes(24);
  } else if (opcode <= 0xAF) {
    source->ReadBytes(source->ReadBEWord());
  } else if (opcode <= 0xCF) {
  } else if (opcode <= 0xFE) {
    source->ReadBytes(static_cast<int>(std::min<uint32_t>(source->ReadBELong(), 0x7FFFFFFF)));
  } else if (opcode >= 0x8000 && opcode <= 0x80FF) {
  } else if (opcode >= 8100) {
    source->ReadBytes(static_cast<int>(std::min<uint32_t>(source->ReadBELong(), 0x7FFFFFFF)));
  } else {
    source->ReadBytes(opcode / 128);
  }
}

void CPictDecoder::readPixMap(CPicSource* source, PixMap& pm, bool direct) {
  pm.bounds = readRect(source);
  source->ReadBEWord();  // version
  pm.packType = source->ReadBEWord();
  source->ReadBELong();  // pack size
  source->ReadBytes(8);  // resolutions
  source->ReadBEWord();  // pixel type
  pm.pixelSize = source->ReadBEWord();
  pm.cmpCount = source->ReadBEWord();
  pm.cmpSize = source->ReadBEWord();
  source->ReadBytes(12);  // plane bytes, table, reserved
  trace(2, "PixMap header info:\n");
  if (!direct && pm.pixelSize <= 8) readColourTable(source, pm.colours);
}

void CPictDecoder::decodeBitmapOpcode(CWinBmp* bmp, int* pDestBPP, CPicSource* source, int opcode) {
  const bool direct = opcode == 0x9A || opcode == 0x9B;
  const bool region = opcode == 0x91 || opcode == 0x99 || opcode == 0x9B;
  PixMap pm;
  if (direct) source->ReadBytes(4);  // base address
  const int rowWord = source->ReadBEWord();
  pm.isPixMap = direct || (rowWord & 0x8000);
  pm.rowBytes = rowWord & 0x3FFF;
  if (pm.isPixMap) {
    readPixMap(source, pm, direct);
  } else {
    trace(2, "Reading version 1 bitmap.\n");
    pm.bounds = readRect(source);
  }
  readRect(source);  // source rectangle
  readRect(source);  // destination rectangle
  source->ReadBEWord();  // transfer mode
  if (region) skipPolyOrRegion(source);

  const int width = pm.bounds.right - pm.bounds.left;
  const int height = pm.bounds.bottom - pm.bounds.top;
  const int pixelSize = pm.isPixMap ? pm.pixelSize : 1;
  if (width < 0 || height < 0) raiseError(PL_ERR_FORMAT, "Illegal bitmap size in PICT.");
  if (pixelSize != 1 && pixelSize != 2 && pixelSize != 4 && pixelSize != 8 && pixelSize != 16 && pixelSize != 32)
    raiseError(PL_ERR_FORMAT, "Illegal bpp value in unpackbits: %d\n", pixelSize);
  const int cmpCount = pixelSize == 32 ? (pm.cmpCount == 4 ? 4 : 3) : 1;
  // a row must hold its pixels: 32-bit rows unpack to one plane per component
  const int64_t neededBytes = pixelSize == 32 ? int64_t(width) * 4 : (int64_t(width) * pixelSize + 7) / 8;
  if (pm.rowBytes < neededBytes || neededBytes > maxRowBytes) raiseError(PL_ERR_FORMAT, "Illegal row bytes in PICT.");
  const bool packed = pm.rowBytes >= 8;
  const int unpackedBytes = packed && pixelSize == 32 ? cmpCount * width : pm.rowBytes;
  const int lengthBytes = pm.rowBytes > 250 ? 2 : 1;

  // The data must be able to hold the rows before any storage is taken.
  const int64_t leastRowBytes = packed ? lengthBytes + unpackedBytes / 256 : pm.rowBytes;
  if (leastRowBytes * height > source->GetBytesLeft())
    throw CTextException(PL_ERR_END_OF_FILE, "End of file reached while decoding.\n");

  // direct pixels are always true colour
  const int destBpp = (*pDestBPP == 32 || pixelSize > 8) ? 32 : 8;
  *pDestBPP = destBpp;
  createBitmap(bmp, width, height, destBpp, pixelSize == 32 && cmpCount == 4);
  std::vector<CPixel32> colours = pm.colours;
  if (!pm.isPixMap) {
    colours.assign(256, CPixel32(0, 0, 0, 255));
    colours[0] = CPixel32(255, 255, 255, 255);
  }
  if (colours.empty()) colours.assign(256, CPixel32(0, 0, 0, 255));
  if (destBpp == 8) {
    for (int i = 0; i < (1 << 8); ++i) bmp->SetPaletteEntry(i, colours[static_cast<size_t>(i)]);
  }

  bmp->Lock(false, true);
  struct Unlocker {
    CWinBmp* b;
    ~Unlocker() { b->Unlock(); }
  } unlocker{bmp};
  std::vector<uint8_t> row(static_cast<size_t>(std::max(unpackedBytes, 1)), 0);
  const int itemBytes = pixelSize == 16 ? 2 : 1;
  for (int y = 0; y < height; ++y) {
    std::fill(row.begin(), row.end(), 0);
    if (!packed) {
      std::memcpy(row.data(), source->ReadBytes(pm.rowBytes), static_cast<size_t>(pm.rowBytes));
    } else {
      // PackBits, kept inside both the packed length and the row
      int len = lengthBytes == 2 ? source->ReadBEWord() : source->ReadByte();
      const uint8_t* in = source->ReadBytes(len);
      size_t out = 0;
      for (int i = 0; i < len;) {
        const int c = in[i++];
        if (c < 128) {
          const int n = (c + 1) * itemBytes;
          for (int k = 0; k < n && i < len; ++k, ++i)
            if (out < row.size()) row[out++] = in[i];
        } else if (c > 128) {
          const int n = 257 - c;
          if (i + itemBytes > len) break;
          for (int k = 0; k < n; ++k)
            for (int b = 0; b < itemBytes; ++b)
              if (out < row.size()) row[out++] = in[i + b];
          i += itemBytes;
        }
      }
    }

    uint8_t* line = bmp->GetLine(y);
    CPixel32* out32 = reinterpret_cast<CPixel32*>(line);
    for (int x = 0; x < width; ++x) {
      if (pixelSize <= 8) {
        const int bit = x * pixelSize;
        const int index = (row[static_cast<size_t>(bit / 8)] >> (8 - pixelSize - bit % 8)) & ((1 << pixelSize) - 1);
        if (destBpp == 8)
          line[x] = static_cast<uint8_t>(index);
        else
          out32[x] = colours[static_cast<size_t>(index)];
      } else if (pixelSize == 16) {
        const unsigned v = (row[2 * x] << 8) | row[2 * x + 1];
        out32[x] = CPixel32(static_cast<uint8_t>(((v >> 10) & 31) * 8), static_cast<uint8_t>(((v >> 5) & 31) * 8),
                            static_cast<uint8_t>((v & 31) * 8), 255);
      } else if (!packed) {
        // unpacked direct pixels lie side by side: x, red, green, blue
        const uint8_t* p = &row[static_cast<size_t>(4 * x)];
        out32[x] = CPixel32(p[1], p[2], p[3], cmpCount == 4 ? p[0] : 255);
      } else if (cmpCount == 4) {
        out32[x] = CPixel32(row[width + x], row[2 * width + x], row[3 * width + x], row[x]);
      } else {
        out32[x] = CPixel32(row[x], row[width + x], row[2 * width + x], 255);
      }
    }
  }
}

void CPictDecoder::decodeJpeg(CWinBmp* bmp, std::unique_ptr<CPixel32[]>& pal, int* pDestBPP, CPicSource* source) {
  const uint32_t length = source->ReadBELong();
  const int scan = static_cast<int>(std::min<uint32_t>(length, static_cast<uint32_t>(source->GetBytesLeft())));
  const uint8_t* data = source->PeekBytes(scan);
  int start = -1;
  for (int i = 0; i + 2 < scan; ++i) {
    if (data[i] == 0xFF && data[i + 1] == 0xD8 && data[i + 2] == 0xFF) {
      start = i;
      break;
    }
  }
  if (start < 0) raiseError(PL_ERR_NOT_SUPPORTED, "PICT file contains unrecognized quicktime data.\n");
  CPicDecoder* jpeg = m_pOwner ? m_pOwner->GetDecoder(PL_FT_JPEG) : nullptr;
  if (!jpeg) raiseError(PL_ERR_NOT_SUPPORTED, "Library not compiled for PICT/JPEG.");
  source->ReadBytes(start);
  jpeg->DecodeFromSource(bmp, pal, pDestBPP, source);
}

void CPictDecoder::DecodeFromSource(CWinBmp* bmp, std::unique_ptr<CPixel32[]>& pal, int* pDestBPP,
                                    CPicSource* source) {
  trace(2, "Decoding mac pict.\n");
  source->ReadBytes(512);
  m_PictStart = source->GetBytesRead();
  source->ReadBytes(2 + 8);  // picture size, frame
  uint8_t c = source->ReadByte();
  while (c == 0) c = source->ReadByte();
  if (c != 0x11) raiseError(PL_ERR_WRONG_SIGNATURE, "Error decoding pict: Version number missing.");
  c = source->ReadByte();
  if (c == 0x01) {
    m_Version = 1;
  } else if (c == 0x02 && source->ReadByte() == 0xFF) {
    m_Version = 2;
  } else {
    raiseError(PL_ERR_WRONG_SIGNATURE, "Illegal version number.");
  }
  trace(2, "PICT version %d found.\n", m_Version);

  for (;;) {
    const int opcode = readOpcode(source);
    trace(3, "Opcode: 0x%04x\n", opcode);
    switch (opcode) {
      case 0x90:
      case 0x91:
      case 0x98:
      case 0x99:
      case 0x9A:
      case 0x9B:
        decodeBitmapOpcode(bmp, pDestBPP, source, opcode);
        return;
      case 0x8200:
        decodeJpeg(bmp, pal, pDestBPP, source);
        return;
      case 0xFF:
      case 0xFFFF:
        raiseError(PL_ERR_NOT_SUPPORTED, "PICT contained only vector data!\n");
      default:
        skipOpcode(source, opcode);
    }
  }
}
