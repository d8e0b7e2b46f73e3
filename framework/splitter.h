#pragma once
// CSplitterWnd: a static splitter of rows x columns panes. Pane (row, col)
// has the child id AFX_IDW_PANE_FIRST + row * 16 + col. The layout keeps a
// border of 2 pixels around the panes and a 7-pixel bar between them (11
// pixels for two panes); every row and column but the last gets its ideal
// size (none below its minimum: then it is hidden), the last the rest. A
// pane of zero width or height is hidden, and the next- and previous-pane
// commands pass over it.
#include <vector>

#include "framework/docview.h"

class CSplitterWnd : public CWnd {
  DECLARE_DYNCREATE(CSplitterWnd)
 public:
  CSplitterWnd();
  ~CSplitterWnd() override;

  enum { kBorder = 2, kBar = 7 };

  virtual BOOL CreateStatic(CWnd* parent, int rows, int cols, DWORD style = WS_CHILD | WS_VISIBLE,
                            UINT id = AFX_IDW_PANE_FIRST);
  // Makes the view by its run-time class (document and pane id to its
  // factory); its ideal size becomes the row's height and the column's width.
  virtual BOOL CreateView(int row, int col, const CRuntimeClass* viewClass, SIZE initialSize, CCreateContext* context);
  virtual void DeleteView(int row, int col);

  int GetRowCount() const { return rows_; }
  int GetColumnCount() const { return cols_; }
  CWnd* GetPane(int row, int col) const;
  int IdFromRowCol(int row, int col) const { return AFX_IDW_PANE_FIRST + row * 16 + col; }
  BOOL IsChildPane(CWnd* window, int* row, int* col);

  void SetRowInfo(int row, int ideal, int minimum);
  void GetRowInfo(int row, int& current, int& minimum) const;
  void SetColumnInfo(int col, int ideal, int minimum);
  void GetColumnInfo(int col, int& current, int& minimum) const;
  virtual void RecalcLayout();

  virtual CWnd* GetActivePane(int* row = nullptr, int* col = nullptr);
  virtual void SetActivePane(int row, int col, CWnd* window = nullptr);
  virtual BOOL CanActivateNext(BOOL previous = FALSE);
  virtual void ActivateNext(BOOL previous = FALSE);

  void OnSize(UINT type, int cx, int cy) override;
  void OnPaint() override;

 protected:
  struct Info {
    int ideal = 0;
    int minimum = 0;
    int current = 0;
  };
  static void Layout(std::vector<Info>& infos, int size);

  int rows_ = 0;
  int cols_ = 0;
  std::vector<Info> rowInfo_;
  std::vector<Info> colInfo_;
  DECLARE_MESSAGE_MAP()
};
