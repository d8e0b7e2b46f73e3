#pragma once
// The tool bar as a model: buttons (with command ids, separators and
// check-style buttons), their pictures (version-2 PICT data made by bmppic
// from BMP data), one checked button at a time, and the layout floating in
// rows or docked along an edge. The windowing side shows it.
#include <cstdint>
#include <vector>

#include "framework/gdi.h"

enum : BYTE { TBSTATE_CHECKED = 0x01, TBSTATE_PRESSED = 0x02, TBSTATE_ENABLED = 0x04, TBSTATE_HIDDEN = 0x08 };
enum : BYTE { TBSTYLE_BUTTON = 0x00, TBSTYLE_SEP = 0x01, TBSTYLE_CHECK = 0x02 };
enum : DWORD { CBRS_ALIGN_LEFT = 0x1000, CBRS_ALIGN_TOP = 0x2000, CBRS_ALIGN_RIGHT = 0x4000, CBRS_ALIGN_BOTTOM = 0x8000,
              CBRS_ALIGN_ANY = 0xF000 };

struct TBBUTTON {
  int iBitmap;  // picture index
  int idCommand;
  BYTE fsState;
  BYTE fsStyle;
  BYTE bReserved[2];
  uintptr_t dwData;
  intptr_t iString;
};

class CToolBar {
 public:
  static constexpr int kSlots = 128;

  CToolBar();
  // The bar starts floating with no buttons.
  BOOL Create();

  // Buttons become the bitmap size plus 8 each way (24 x 23 for 16 x 15).
  void SetBitmapSize(CSize size);
  // No effect: the bitmap size sets the buttons, SetDockedPlace docks.
  void SetButtonSize(CSize) {}
  void EnableDocking(DWORD) {}
  // The bar is its own control.
  CToolBar& GetToolBarCtrl() { return *this; }
  CSize GetButtonSize() const { return button_; }

  // One picture from BMP data: the RT_BITMAP resource of that number, or the
  // bitmap's pixels. A count other than 1, or a 129th picture, is refused
  // (-1, with a line in the log); data that is missing or has no BMP header
  // gives a 16 x 16 cross. Returns the new picture's index.
  int AddBitmap(int count, UINT resourceId);
  int AddBitmap(int count, CBitmap* bitmap);
  int GetPictureCount() const { return int(pictures_.size()); }
  // The picture's PICT data (empty for a bad index).
  const std::vector<uint8_t>& GetPicture(int index) const;

  // Adds the buttons at the end; FALSE (and nothing added) when they do not
  // fit the 128 slots.
  BOOL AddButtons(int count, const TBBUTTON* buttons);
  // index -1 appends; an index past the end or a full bar is refused.
  BOOL InsertButton(int index, const TBBUTTON* button);
  // Removes the button only; the pictures stay.
  BOOL DeleteButton(int index);
  int GetButtonCount() const { return int(buttons_.size()); }
  UINT GetItemID(int index) const;
  int CommandToIndex(UINT command) const;
  // The button's rectangle in the bar's client coordinates.
  void GetItemRect(int index, LPRECT rect) const;
  BOOL GetButton(int index, TBBUTTON* button) const;

  int GetRows() const { return rows_; }
  // 0 rows count as 1.
  void SetRows(int rows, BOOL redraw, LPRECT rect);
  BOOL IsFloating() const { return !docked_; }
  // Docks the bar into the rectangle (horizontal when wider than high).
  void SetDockedPlace(const CRect& rect);

  // Every check-style button with that command is checked (when check is
  // set), every other one unchecked: at most one is checked.
  BOOL CheckButton(UINT command, BOOL check = TRUE);
  BOOL IsButtonChecked(UINT command) const;
  // A press on the button: it checks itself and clears the others; returns
  // its command (0 for a separator or a bad index).
  UINT PressButton(int index);

  // The bar's window rectangle, as the layout leaves it.
  CRect GetWindowRect() const { return window_; }
  void MoveWindow(const CRect& rect) { window_ = rect; }
  // Lays the buttons out again and fits the window to them.
  void ReArrangeButtons();
  void AutoSize();

 private:
  struct Button {
    bool separator = false;
    bool checkStyle = false;
    int picture = 0;
    UINT command = 0;
    bool checked = false;
    CRect rect;
  };
  int AddPicture(std::vector<uint8_t> pict);

  std::vector<Button> buttons_;
  std::vector<std::vector<uint8_t>> pictures_;
  bool docked_ = false;
  CSize button_{24, 24};
  int rows_ = 1;
  CRect window_{0, 0, 0, 0};
};

namespace brv {
// The PICT picture of a 16 x 16 cross (the stand-in for missing bitmaps).
std::vector<uint8_t> CrossPicture();
}  // namespace brv
