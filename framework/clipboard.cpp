#include "framework/clipboard.h"

#include <cstring>
#include <map>
#include <memory>
#include <optional>

#include "framework/backend.h"
#include "framework/window_state.h"

namespace brv {

namespace {

struct Block {
  std::vector<uint8_t> bytes;
};

struct ClipboardState {
  std::map<HANDLE, std::unique_ptr<Block>> blocks;
  uintptr_t next = 0x30000;
  bool open = false;
  bool changed = false;
  ClipboardContents contents;
  // What GetClipboardData handed out while open (freed at close).
  std::vector<HANDLE> lent;
  std::vector<HBITMAP> lentBitmaps;
};

ClipboardState& Clip() {
  static ClipboardState state;
  return state;
}

HANDLE NewBlock(std::vector<uint8_t> bytes) {
  ClipboardState& c = Clip();
  HANDLE h = reinterpret_cast<HANDLE>(c.next);
  c.next += 0x10;
  auto b = std::make_unique<Block>();
  b->bytes = std::move(bytes);
  c.blocks[h] = std::move(b);
  return h;
}

Block* FindBlock(HANDLE h) {
  auto it = Clip().blocks.find(h);
  return it == Clip().blocks.end() ? nullptr : it->second.get();
}

void FreeLent() {
  ClipboardState& c = Clip();
  for (HANDLE h : c.lent) c.blocks.erase(h);
  c.lent.clear();
  for (HBITMAP b : c.lentBitmaps) DeleteObject(reinterpret_cast<HGDIOBJ>(b));
  c.lentBitmaps.clear();
}

// The contents: the working copy while open, else the backend's.
ClipboardContents Current() { return Clip().open ? Clip().contents : CurrentBackend().ReadClipboard(); }

}  // namespace

void ResetClipboardState() {
  FreeLent();
  ClipboardState& c = Clip();
  c.blocks.clear();
  c.open = c.changed = false;
  c.contents = ClipboardContents();
}

std::vector<uint8_t> PackedDibOf(const Surface& surface) {
  int w = surface.Width(), h = surface.Height();
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = w;
  header.biHeight = h;
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(static_cast<size_t>(w) * h * 4);
  std::vector<uint8_t> out(sizeof header + static_cast<size_t>(w) * h * 4);
  std::memcpy(out.data(), &header, sizeof header);
  uint8_t* p = out.data() + sizeof header;
  for (int y = h - 1; y >= 0; --y)
    for (int x = 0; x < w; ++x) {
      uint32_t px = surface.Pixel(x, y);
      *p++ = static_cast<uint8_t>(px & 0xFF);
      *p++ = static_cast<uint8_t>((px >> 8) & 0xFF);
      *p++ = static_cast<uint8_t>((px >> 16) & 0xFF);
      *p++ = 0;
    }
  return out;
}

bool DecodePackedDib(const uint8_t* data, size_t size, Surface* out) {
  if (!data || size < sizeof(BITMAPINFOHEADER)) return false;
  BITMAPINFOHEADER header;
  std::memcpy(&header, data, sizeof header);
  if (header.biSize < sizeof header || header.biSize > size || header.biWidth <= 0 || header.biHeight == 0 ||
      header.biPlanes != 1)
    return false;
  int bpp = header.biBitCount;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
  if (header.biCompression != BI_RGB && !(header.biCompression == BI_BITFIELDS && (bpp == 16 || bpp == 32)))
    return false;
  long long width = header.biWidth;
  long long height = header.biHeight < 0 ? -static_cast<long long>(header.biHeight) : header.biHeight;
  if (width > 65535 || height > 65535) return false;
  size_t colors = 0;
  if (bpp <= 8) {
    colors = header.biClrUsed ? header.biClrUsed : (1u << bpp);
    if (colors > (1u << bpp)) return false;
  }
  size_t table = colors * 4 + (header.biCompression == BI_BITFIELDS && header.biSize == sizeof header ? 12 : 0);
  size_t row = static_cast<size_t>((width * bpp + 31) / 32 * 4);
  size_t need = header.biSize + table + row * static_cast<size_t>(height);
  if (need > size) return false;
  std::vector<uint8_t> info(header.biSize + table + 4);
  std::memcpy(info.data(), data, header.biSize + table);
  reinterpret_cast<BITMAPINFOHEADER*>(info.data())->biSize = sizeof header;
  if (header.biSize > sizeof header) {
    // Longer headers: the colours follow the whole header.
    std::memmove(info.data() + sizeof header, data + header.biSize, table);
  }
  out->Resize(static_cast<int>(width), static_cast<int>(height), 0);
  CDC dc;
  dc.AttachSurface(out);
  int lines = dc.StretchDIBits(0, 0, static_cast<int>(width), static_cast<int>(height), 0, 0, static_cast<int>(width),
                               static_cast<int>(height), data + header.biSize + table,
                               reinterpret_cast<const BITMAPINFO*>(info.data()), DIB_RGB_COLORS, SRCCOPY);
  dc.DetachSurface();
  return lines > 0;
}

std::vector<uint8_t> ClipboardDib() {
  ClipboardContents c = Current();
  return c.dib ? *c.dib : std::vector<uint8_t>();
}

bool SetClipboardDib(const std::vector<uint8_t>& packedDib) {
  Surface probe;
  if (!DecodePackedDib(packedDib.data(), packedDib.size(), &probe)) return false;
  bool wasOpen = Clip().open;
  if (!wasOpen && !OpenClipboard(nullptr)) return false;
  EmptyClipboard();
  Clip().contents.dib = packedDib;
  Clip().changed = true;
  if (!wasOpen) CloseClipboard();
  return true;
}

std::string ClipboardText(bool* present) {
  ClipboardContents c = Current();
  if (present) *present = c.text.has_value();
  return c.text ? *c.text : std::string();
}

bool SetClipboardText(const std::string& text) {
  bool wasOpen = Clip().open;
  if (!wasOpen && !OpenClipboard(nullptr)) return false;
  EmptyClipboard();
  Clip().contents.text = text;
  Clip().changed = true;
  if (!wasOpen) CloseClipboard();
  return true;
}

}  // namespace brv

using namespace brv;

HANDLE GlobalAlloc(UINT, size_t bytes) {
  if (bytes > (size_t(1) << 31)) return nullptr;
  return NewBlock(std::vector<uint8_t>(bytes, 0));
}

void* GlobalLock(HANDLE block) {
  Block* b = FindBlock(block);
  return b ? (b->bytes.empty() ? static_cast<void*>(b) : b->bytes.data()) : nullptr;
}

BOOL GlobalUnlock(HANDLE block) { return FindBlock(block) ? TRUE : FALSE; }

size_t GlobalSize(HANDLE block) {
  Block* b = FindBlock(block);
  return b ? b->bytes.size() : 0;
}

HANDLE GlobalFree(HANDLE block) {
  if (!FindBlock(block)) return block;
  Clip().blocks.erase(block);
  return nullptr;
}

BOOL OpenClipboard(HWND) {
  ClipboardState& c = Clip();
  if (c.open) return FALSE;
  c.open = true;
  c.changed = false;
  c.contents = CurrentBackend().ReadClipboard();
  return TRUE;
}

BOOL CloseClipboard() {
  ClipboardState& c = Clip();
  if (!c.open) return FALSE;
  FreeLent();
  c.open = false;
  if (c.changed) CurrentBackend().WriteClipboard(c.contents);
  c.changed = false;
  return TRUE;
}

BOOL EmptyClipboard() {
  ClipboardState& c = Clip();
  if (!c.open) return FALSE;
  FreeLent();
  c.contents = ClipboardContents();
  c.changed = true;
  return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
  ClipboardState& c = Clip();
  if (!c.open || !data) return nullptr;
  if (format == CF_BITMAP) {
    Surface* s = BitmapSurface(reinterpret_cast<HBITMAP>(data));
    if (!s) return nullptr;
    c.contents.dib = PackedDibOf(*s);
    c.changed = true;
    return data;
  }
  Block* b = FindBlock(data);
  if (!b) return nullptr;
  if (format == CF_DIB) {
    Surface probe;
    if (!DecodePackedDib(b->bytes.data(), b->bytes.size(), &probe)) return nullptr;
    c.contents.dib = b->bytes;
  } else if (format == CF_TEXT) {
    size_t n = strnlen(reinterpret_cast<const char*>(b->bytes.data()), b->bytes.size());
    c.contents.text = std::string(reinterpret_cast<const char*>(b->bytes.data()), n);
  } else {
    return nullptr;
  }
  c.changed = true;
  c.blocks.erase(data);  // the clipboard owns it now
  return data;
}

HANDLE GetClipboardData(UINT format) {
  ClipboardState& c = Clip();
  if (!c.open) return nullptr;
  if ((format == CF_DIB || format == CF_BITMAP) && c.contents.dib) {
    if (format == CF_DIB) {
      HANDLE h = NewBlock(*c.contents.dib);
      c.lent.push_back(h);
      return h;
    }
    Surface s;
    if (!DecodePackedDib(c.contents.dib->data(), c.contents.dib->size(), &s)) return nullptr;
    std::vector<uint8_t> rows(static_cast<size_t>(s.Width()) * s.Height() * 4);
    for (int y = 0; y < s.Height(); ++y)
      for (int x = 0; x < s.Width(); ++x) {
        uint32_t p = s.Pixel(x, y);
        size_t i = (static_cast<size_t>(y) * s.Width() + x) * 4;
        rows[i] = static_cast<uint8_t>(p & 0xFF);
        rows[i + 1] = static_cast<uint8_t>((p >> 8) & 0xFF);
        rows[i + 2] = static_cast<uint8_t>((p >> 16) & 0xFF);
        rows[i + 3] = 0;
      }
    CBitmap bitmap;
    if (!bitmap.CreateBitmap(s.Width(), s.Height(), 1, 32, rows.data())) return nullptr;
    HBITMAP hb = static_cast<HBITMAP>(bitmap);
    bitmap.Detach();
    c.lentBitmaps.push_back(hb);
    return reinterpret_cast<HANDLE>(hb);
  }
  if (format == CF_TEXT && c.contents.text) {
    std::vector<uint8_t> bytes(c.contents.text->begin(), c.contents.text->end());
    bytes.push_back(0);
    HANDLE h = NewBlock(std::move(bytes));
    c.lent.push_back(h);
    return h;
  }
  return nullptr;
}

BOOL IsClipboardFormatAvailable(UINT format) {
  ClipboardContents c = Current();
  if (format == CF_DIB || format == CF_BITMAP) return c.dib ? TRUE : FALSE;
  if (format == CF_TEXT) return c.text ? TRUE : FALSE;
  return FALSE;
}

int CountClipboardFormats() {
  ClipboardContents c = Current();
  return (c.dib ? 2 : 0) + (c.text ? 1 : 0);
}

UINT EnumClipboardFormats(UINT format) {
  ClipboardContents c = Current();
  std::vector<UINT> formats;
  if (c.text) formats.push_back(CF_TEXT);
  if (c.dib) formats.push_back(CF_BITMAP), formats.push_back(CF_DIB);
  if (format == 0) return formats.empty() ? 0 : formats.front();
  for (size_t i = 0; i + 1 < formats.size(); ++i)
    if (formats[i] == format) return formats[i + 1];
  return 0;
}
