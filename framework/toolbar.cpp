#include "framework/toolbar.h"

#include <algorithm>
#include <cstring>

#include "framework/bmppic.h"
#include "framework/resources.h"
#include "framework/system.h"

namespace {

// A packed 8-bit DIB (two colours used) of a w x h picture: set(x, y) is black.
template <class F>
std::vector<uint8_t> TwoColourDib(int w, int h, F&& set) {
  BITMAPINFOHEADER hdr{};
  hdr.biSize = 40;
  hdr.biWidth = w;
  hdr.biHeight = h;
  hdr.biPlanes = 1;
  hdr.biBitCount = 8;
  hdr.biClrUsed = 2;
  const size_t rowBytes = (size_t(w) + 3) & ~size_t(3);
  std::vector<uint8_t> dib(sizeof hdr + 8 + rowBytes * size_t(h), 0);
  std::memcpy(dib.data(), &hdr, sizeof hdr);
  const uint8_t colours[8] = {255, 255, 255, 0, 0, 0, 0, 0};  // 0 white, 1 black
  std::memcpy(dib.data() + sizeof hdr, colours, 8);
  uint8_t* rows = dib.data() + sizeof hdr + 8;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) rows[size_t(h - 1 - y) * rowBytes + size_t(x)] = set(x, y) ? 1 : 0;
  return dib;
}

const std::vector<uint8_t>& NoPicture() {
  static const std::vector<uint8_t> none;
  return none;
}

}  // namespace

namespace brv {
std::vector<uint8_t> CrossPicture() {
  std::vector<uint8_t> dib = TwoColourDib(16, 16, [](int x, int y) { return x == y || x == 15 - y; });
  std::vector<uint8_t> pict;
  bmppic(dib.data(), dib.size(), &pict);
  return pict;
}
}  // namespace brv

CToolBar::CToolBar() = default;

BOOL CToolBar::Create() {
  docked_ = false;
  return TRUE;
}

void CToolBar::SetBitmapSize(CSize size) {
  button_ = CSize(size.cx + 8, size.cy + 8);
  ReArrangeButtons();
}

int CToolBar::AddPicture(std::vector<uint8_t> pict) {
  pictures_.push_back(std::move(pict));
  return int(pictures_.size()) - 1;
}

int CToolBar::AddBitmap(int count, UINT resourceId) {
  if (count != 1) {
    Log("A CToolBar::AddBitmap elso parametere csak 1 lehet!");
    return -1;
  }
  if (int(pictures_.size()) >= kSlots) {
    Log("A CToolBar::AddBitmap-nal betelt a picture buffer!");
    return -1;
  }
  std::span<const unsigned char> bytes = brv::ResourceBytes("BITMAP", resourceId);
  std::vector<uint8_t> pict;
  // BMP file data: the 14-byte file header, then the DIB
  if (bytes.data() && bytes.size() > 14 && bytes[0] == 'B' && bytes[1] == 'M' &&
      bmppic(bytes.data() + 14, bytes.size() - 14, &pict) > 0)
    return AddPicture(std::move(pict));
  return AddPicture(brv::CrossPicture());
}

int CToolBar::AddBitmap(int count, CBitmap* bitmap) {
  if (count != 1) {
    Log("A CToolBar::AddBitmap elso parametere csak 1 lehet!");
    return -1;
  }
  if (int(pictures_.size()) >= kSlots) {
    Log("A CToolBar::AddBitmap-nal betelt a picture buffer!");
    return -1;
  }
  BITMAP bm{};
  if (!bitmap || !bitmap->GetBitmap(&bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0) return AddPicture(brv::CrossPicture());
  // the bitmap's pixels as a 32-bit DIB
  std::vector<uint8_t> dib(sizeof(BITMAPINFOHEADER) + size_t(bm.bmWidth) * 4 * size_t(bm.bmHeight));
  BITMAPINFO* info = reinterpret_cast<BITMAPINFO*>(dib.data());
  info->bmiHeader = BITMAPINFOHEADER{40, bm.bmWidth, bm.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  if (!GetDIBits(nullptr, *bitmap, 0, UINT(bm.bmHeight), dib.data() + sizeof(BITMAPINFOHEADER), info, DIB_RGB_COLORS))
    return AddPicture(brv::CrossPicture());
  std::vector<uint8_t> pict;
  if (bmppic(dib.data(), dib.size(), &pict) <= 0) return AddPicture(brv::CrossPicture());
  return AddPicture(std::move(pict));
}

const std::vector<uint8_t>& CToolBar::GetPicture(int index) const {
  return index >= 0 && index < int(pictures_.size()) ? pictures_[size_t(index)] : NoPicture();
}

BOOL CToolBar::AddButtons(int count, const TBBUTTON* buttons) {
  if (count <= 0 || !buttons || int(buttons_.size()) + count > kSlots) return FALSE;
  for (int i = 0; i < count; ++i) InsertButton(-1, &buttons[i]);
  return TRUE;
}

BOOL CToolBar::InsertButton(int index, const TBBUTTON* button) {
  if (!button || int(buttons_.size()) >= kSlots) return FALSE;
  if (index == -1) index = int(buttons_.size());
  if (index < 0 || index > int(buttons_.size())) return FALSE;
  Button b;
  b.separator = button->fsStyle & TBSTYLE_SEP;
  b.checkStyle = button->fsStyle & TBSTYLE_CHECK;
  b.picture = b.separator ? 0 : button->iBitmap;
  b.command = b.separator ? 0 : UINT(button->idCommand);
  b.checked = !b.separator && (button->fsState & TBSTATE_CHECKED);
  buttons_.insert(buttons_.begin() + index, b);
  ReArrangeButtons();
  return TRUE;
}

BOOL CToolBar::DeleteButton(int index) {
  if (index < 0 || index >= int(buttons_.size())) return FALSE;
  buttons_.erase(buttons_.begin() + index);
  ReArrangeButtons();
  return TRUE;
}

UINT CToolBar::GetItemID(int index) const {
  return index >= 0 && index < int(buttons_.size()) ? buttons_[size_t(index)].command : 0;
}

int CToolBar::CommandToIndex(UINT command) const {
  for (size_t i = 0; i < buttons_.size(); ++i)
    if (!buttons_[i].separator && buttons_[i].command == command) return int(i);
  return -1;
}

void CToolBar::GetItemRect(int index, LPRECT rect) const {
  if (!rect) return;
  *rect = index >= 0 && index < int(buttons_.size()) ? buttons_[size_t(index)].rect : CRect();
}

BOOL CToolBar::GetButton(int index, TBBUTTON* out) const {
  if (!out || index < 0 || index >= int(buttons_.size())) return FALSE;
  const Button& b = buttons_[size_t(index)];
  *out = TBBUTTON{};
  out->iBitmap = b.picture;
  out->idCommand = int(b.command);
  out->fsStyle = BYTE((b.separator ? TBSTYLE_SEP : 0) | (b.checkStyle ? TBSTYLE_CHECK : 0));
  out->fsState = BYTE(TBSTATE_ENABLED | (b.checked ? TBSTATE_CHECKED : 0));
  return TRUE;
}

void CToolBar::SetRows(int rows, BOOL, LPRECT rect) {
  rows_ = std::max(rows, 1);
  ReArrangeButtons();
  if (rect) *rect = window_;
}

void CToolBar::SetDockedPlace(const CRect& rect) {
  window_ = rect;
  docked_ = true;
  ReArrangeButtons();
}

BOOL CToolBar::CheckButton(UINT command, BOOL check) {
  bool found = false;
  for (Button& b : buttons_) {
    if (!b.checkStyle) continue;
    b.checked = check && b.command == command;
    found = found || b.command == command;
  }
  return found;
}

BOOL CToolBar::IsButtonChecked(UINT command) const {
  for (const Button& b : buttons_)
    if (!b.separator && b.command == command) return b.checked;
  return FALSE;
}

UINT CToolBar::PressButton(int index) {
  if (index < 0 || index >= int(buttons_.size()) || buttons_[size_t(index)].separator) return 0;
  UINT command = buttons_[size_t(index)].command;
  CheckButton(command, TRUE);
  return command;
}

void CToolBar::ReArrangeButtons() {
  const int count = int(buttons_.size());
  const int perRow = (count + rows_ - 1) / rows_;
  const bool vertical = docked_ && window_.Width() <= window_.Height();
  CPoint pos(5, 5);
  for (int i = 0; i < count; ++i) {
    Button& b = buttons_[size_t(i)];
    const bool sep = b.separator;
    b.rect = CRect(pos, sep ? (vertical ? CSize(button_.cx, 10) : CSize(10, button_.cy)) : button_);
    if (docked_) {
      if (vertical) pos.y += sep ? 10 : button_.cy;
      else pos.x += sep ? 10 : button_.cx;
    } else if (perRow > 0 && (i + 1) % perRow == 0) {
      pos = CPoint(5, 5 + ((i + 1) / perRow) * button_.cy);
    } else {
      pos.x += sep ? 10 : button_.cx;
    }
  }
  AutoSize();
}

void CToolBar::AutoSize() {
  if (docked_) {
    if (window_.Width() > window_.Height()) window_.bottom = window_.top + button_.cy + 10;
    else window_.right = window_.left + button_.cx + 10;
    return;
  }
  // floating: the content ends 5 pixels right of and below the buttons
  LONG right = 5, bottom = 5;
  for (const Button& b : buttons_) right = std::max(right, b.rect.right), bottom = std::max(bottom, b.rect.bottom);
  window_.right = window_.left + right + 5;
  window_.bottom = window_.top + bottom + 5;
}
