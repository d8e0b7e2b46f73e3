#pragma once
// The controls: buttons (push, check, radio groups, picture radios), statics
// (text, frames, bitmaps and icons drawn by the framework into the
// surface), edits, combo boxes, sliders, progress bars, report lists with
// state images, tab controls and image lists. Their state is the
// framework's (framework/window_state.h); a backend with native widgets
// mirrors it. The class procedures give the headless behaviour of the mouse
// and the keys, with the notifications Windows sends:
//   slider (WM_HSCROLL, or WM_VSCROLL when vertical, to the parent):
//     drag: TB_THUMBTRACK per position change, at the release
//     TB_THUMBPOSITION then TB_ENDTRACK; a click in the channel:
//     TB_PAGEUP / TB_PAGEDOWN, TB_ENDTRACK at the release; arrows:
//     TB_LINEUP / TB_LINEDOWN, Page Up/Down: TB_PAGEUP/DOWN, Home/End:
//     TB_TOP / TB_BOTTOM, each with TB_ENDTRACK at the key's release.
//     SetPos sends nothing.
//   button: BN_CLICKED at the release inside it (auto check boxes toggle,
//     auto radio buttons check themselves and clear their group).
//   edit: EN_SETFOCUS, EN_KILLFOCUS, EN_UPDATE and EN_CHANGE.
//   combo: CBN_SELCHANGE on a choice by the user.
//   list: LVN_ITEMCHANGING / LVN_ITEMCHANGED and NM_CLICK (WM_NOTIFY).
//   tab: TCN_SELCHANGING then TCN_SELCHANGE (WM_NOTIFY) on a click.
#include <string>
#include <vector>

#include "framework/gdi.h"
#include "framework/window_state.h"
#include "framework/wnd.h"

class CButton : public CWnd {
  DECLARE_DYNAMIC(CButton)
 public:
  using CWnd::Create;
  BOOL Create(LPCSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id);
  int GetCheck() const;
  void SetCheck(int check);
  UINT GetState() const;
  void SetState(BOOL highlight);
  UINT GetButtonStyle() const;
  void SetButtonStyle(UINT style, BOOL redraw = TRUE);
  // The picture of a BS_BITMAP button (the caller keeps the bitmap).
  HBITMAP SetBitmap(HBITMAP bitmap);
  HBITMAP GetBitmap() const;
  HICON SetIcon(HICON icon);
  HICON GetIcon() const;
};

class CStatic : public CWnd {
  DECLARE_DYNAMIC(CStatic)
 public:
  using CWnd::Create;
  BOOL Create(LPCSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id = 0xFFFF);
  HBITMAP SetBitmap(HBITMAP bitmap);
  HBITMAP GetBitmap() const;
  HICON SetIcon(HICON icon);
  HICON GetIcon() const;
};

class CEdit : public CWnd {
  DECLARE_DYNAMIC(CEdit)
 public:
  using CWnd::Create;
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  // start -1 removes the selection and keeps the caret; end -1 is the end
  // of the text. Unless noScroll the caret is scrolled into view.
  void SetSel(int start, int end, BOOL noScroll = FALSE);
  // LOWORD start, HIWORD end, as one value (SetSel(-1) removes the selection).
  void SetSel(DWORD selection, BOOL noScroll = FALSE);
  DWORD GetSel() const;
  void GetSel(int& start, int& end) const;
  void ReplaceSel(LPCSTR text, BOOL canUndo = FALSE);
  void Clear();
  void LimitText(int characters = 0);
  void SetLimitText(UINT characters) { LimitText(static_cast<int>(characters)); }
  UINT GetLimitText() const;
  int GetLineCount() const;
  int GetFirstVisibleLine() const;
  void LineScroll(int lines, int characters = 0);
  int LineIndex(int line = -1) const;
  int LineLength(int charIndex = -1) const;
  int LineFromChar(int charIndex = -1) const;
  BOOL SetReadOnly(BOOL readOnly = TRUE);
  BOOL GetModify() const;
  void SetModify(BOOL modified = TRUE);
};

class CComboBox : public CWnd {
  DECLARE_DYNAMIC(CComboBox)
 public:
  using CWnd::Create;
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  int AddString(LPCSTR text);
  int InsertString(int index, LPCSTR text);
  int DeleteString(UINT index);
  void ResetContent();
  int GetCount() const;
  int GetCurSel() const;
  int SetCurSel(int index);
  int GetLBText(int index, LPSTR buffer) const;
  void GetLBText(int index, CString& text) const;
  int GetLBTextLen(int index) const;
  DWORD_PTR GetItemData(int index) const;
  int SetItemData(int index, DWORD_PTR data);
  int FindString(int startAfter, LPCSTR text) const;
  int FindStringExact(int startAfter, LPCSTR text) const;
  int SelectString(int startAfter, LPCSTR text);
};

class CSliderCtrl : public CWnd {
  DECLARE_DYNAMIC(CSliderCtrl)
 public:
  using CWnd::Create;
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  void SetRange(int minimum, int maximum, BOOL redraw = FALSE);
  void SetRangeMin(int minimum, BOOL redraw = FALSE);
  void SetRangeMax(int maximum, BOOL redraw = FALSE);
  void GetRange(int& minimum, int& maximum) const;
  int GetRangeMin() const;
  int GetRangeMax() const;
  int GetPos() const;
  void SetPos(int position);
  void SetTicFreq(int frequency);
  int SetLineSize(int size);
  int GetLineSize() const;
  int SetPageSize(int size);
  int GetPageSize() const;
  void GetThumbRect(LPRECT rect) const;
  void GetChannelRect(LPRECT rect) const;
  void ClearTics(BOOL redraw = FALSE) {}
  BOOL SetTic(int) { return TRUE; }
};

class CProgressCtrl : public CWnd {
  DECLARE_DYNAMIC(CProgressCtrl)
 public:
  using CWnd::Create;
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  // The position is kept within the range.
  void SetRange(short lower, short upper);
  void SetRange32(int lower, int upper);
  void GetRange(int& lower, int& upper) const;
  int SetPos(int position);
  int GetPos() const;
  int OffsetPos(int delta);
  int SetStep(int step);
  // Steps on; past the upper bound it starts again at the lower one.
  int StepIt();
  // What the bar shows: round(100 (position - lower) / (upper - lower)), 0
  // for equal bounds.
  int GetPercent() const;
};

// The up-down control's value and range (Windows: from 100 down to 0 until
// set); the position is kept within the range, also when the range moves.
class CSpinButtonCtrl : public CWnd {
  DECLARE_DYNAMIC(CSpinButtonCtrl)
 public:
  using CWnd::Create;
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  // SetPos takes a 16-bit value; both return the previous position.
  int SetPos(int position);
  int SetPos32(int position);
  int GetPos() const;
  int GetPos32(BOOL* error = nullptr) const;
  void SetRange(short lower, short upper);
  void SetRange32(int lower, int upper);
  // MAKELONG(upper, lower).
  DWORD GetRange() const;
  void GetRange(int& lower, int& upper) const;
  void GetRange32(int& lower, int& upper) const;
};

class CImageList;

class CListCtrl : public CWnd {
  DECLARE_DYNAMIC(CListCtrl)
 public:
  using CWnd::Create;
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  int InsertColumn(int column, LPCSTR heading, int format = LVCFMT_LEFT, int width = -1, int subItem = -1);
  BOOL DeleteColumn(int column);
  BOOL SetColumnWidth(int column, int width);
  int GetColumnWidth(int column) const;
  int InsertItem(int index, LPCSTR text);
  int InsertItem(int index, LPCSTR text, int image);
  int InsertItem(UINT mask, int index, LPCSTR text, UINT state, UINT stateMask, int image, LPARAM data);
  BOOL DeleteItem(int index);
  BOOL DeleteAllItems();
  int GetItemCount() const;
  CString GetItemText(int index, int subItem) const;
  int GetItemText(int index, int subItem, LPSTR buffer, int size) const;
  BOOL SetItemText(int index, int subItem, LPCSTR text);
  DWORD_PTR GetItemData(int index) const;
  BOOL SetItemData(int index, DWORD_PTR data);
  BOOL SetItemState(int index, UINT state, UINT mask);
  UINT GetItemState(int index, UINT mask) const;
  int GetNextItem(int start, int flags) const;
  UINT GetSelectedCount() const;
  int GetSelectionMark() const;
  int SetSelectionMark(int index);
  BOOL EnsureVisible(int index, BOOL partialOK);
  int GetTopIndex() const;
  int GetCountPerPage() const;
  // The item under a client point (-1: none) and in *flags which part:
  // LVHT_ONITEMSTATEICON, LVHT_ONITEMLABEL or LVHT_NOWHERE.
  int HitTest(CPoint point, UINT* flags = nullptr) const;
  BOOL GetItemRect(int index, LPRECT rect, UINT code) const;
  CImageList* SetImageList(CImageList* list, int type);
  CImageList* GetImageList(int type) const;
  DWORD SetExtendedStyle(DWORD style);
  DWORD GetExtendedStyle() const;
};
enum : UINT { LVIR_BOUNDS = 0, LVIR_ICON = 1, LVIR_LABEL = 2, LVIR_SELECTBOUNDS = 3 };

class CTabCtrl : public CWnd {
  DECLARE_DYNAMIC(CTabCtrl)
 public:
  using CWnd::Create;
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  LONG InsertItem(int index, LPCSTR text);
  BOOL DeleteItem(int index);
  BOOL DeleteAllItems();
  int GetItemCount() const;
  int GetCurSel() const;
  // Selects without a notification; returns the previous selection.
  int SetCurSel(int index);
  BOOL GetItemRect(int index, LPRECT rect) const;
  // The display area for a window rectangle (larger false), or back.
  void AdjustRect(BOOL larger, LPRECT rect);
};

// An image list: images of equal size with a mask; handles are the objects.
typedef CImageList* HIMAGELIST;
enum : UINT { ILC_MASK = 0x1, ILC_COLOR = 0, ILC_COLOR24 = 0x18, ILC_COLOR32 = 0x20 };
enum : UINT { ILD_NORMAL = 0, ILD_TRANSPARENT = 1, ILD_MASK = 0x10 };

class CImageList {
 public:
  CImageList() = default;
  ~CImageList() = default;
  CImageList(const CImageList&) = delete;
  CImageList& operator=(const CImageList&) = delete;

  // The bitmap resource cut into images `width` wide (its height tall);
  // pixels of the mask colour are transparent.
  BOOL Create(UINT bitmapId, int width, int grow, COLORREF mask);
  BOOL Create(int width, int height, UINT flags, int initial, int grow);
  int Add(CBitmap* bitmap, COLORREF mask);
  int Add(HICON icon);
  BOOL Remove(int image);
  BOOL DeleteImageList();
  int GetImageCount() const { return static_cast<int>(images_.size()); }
  CSize GetImageSize() const { return CSize(width_, height_); }
  HIMAGELIST GetSafeHandle() const { return created_ ? const_cast<CImageList*>(this) : nullptr; }
  operator HIMAGELIST() const { return GetSafeHandle(); }
  // Draws the image: its opaque pixels (ILD_TRANSPARENT or a masked list),
  // every pixel otherwise.
  BOOL Draw(CDC* dc, int image, POINT point, UINT style) const;

  // Reading the images (tests, backends): the colour and whether the mask
  // makes the pixel transparent.
  COLORREF GetPixel(int image, int x, int y) const;
  bool IsTransparent(int image, int x, int y) const;

 private:
  struct Image {
    std::vector<uint32_t> pixels;  // 0x00RRGGBB
    std::vector<uint8_t> mask;     // 1 transparent
  };
  int AddFrom(const brv::Surface& surface, int bitsPerPixel, bool useMask, COLORREF mask);
  int width_ = 0, height_ = 0;
  bool masked_ = false;
  bool created_ = false;
  std::vector<Image> images_;
};

namespace brv {

// ---- helpers shared by the class procedures, the test driver and backends

// Loads a static's picture from the BITMAP or ICON resource of that number.
void LoadStaticPicture(HWND control, bool bitmap, int number);

// Buttons: a click as the user makes it (auto check and radio behaviour,
// BN_CLICKED to the parent).
void ClickButton(HWND button);

// Sliders: the thumb's centre for a position, the position at a point along
// the channel, the thumb's rectangle (client coordinates).
int SliderCoordinate(HWND slider, int position);
int SliderPositionAt(HWND slider, int coordinate);
CRect SliderThumbRect(HWND slider);
// Sets the position (kept in range) without a notification.
void SetSliderPos(HWND slider, int position);
// The user moved the slider: new position (kept in range), then the
// notification with code (TB_...).
void UserMovedSlider(HWND slider, int position, UINT code);

// Lists: the height of a row and the rectangle of an item (client), the hit
// test of a point, the user's selection of an item (-1: none).
int ListRowHeight(HWND list);
CRect ListItemRect(HWND list, int item, UINT code);
int ListHitTest(HWND list, POINT point, UINT* flags);
void UserSelectListItem(HWND list, int item);

// Tabs: the rectangle of a tab; the user's choice of a tab
// (TCN_SELCHANGING, which may refuse, then TCN_SELCHANGE).
CRect TabItemRect(HWND tab, int item);
void UserSelectTab(HWND tab, int item);

// Combo boxes: the user's choice (CBN_SELCHANGE).
void UserSelectCombo(HWND combo, int item);

// Edits: the user typed or deleted (EN_UPDATE, EN_CHANGE).
void UserEditText(HWND edit, const std::string& text, int caret);
// The line height, the lines of the text ("\r\n" or "\n" separate), the
// caret's line.
int EditLineHeight(HWND edit);
std::vector<std::string> EditLines(const std::string& text);

}  // namespace brv
