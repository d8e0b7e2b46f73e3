#pragma once
// Open-file dialogs with a picture preview beside the file list (layout
// 301): CPictPreviewFileDlg for photos and brush pictures,
// CImagePreviewFileDlg for projects with the preview stored in the file.

#include <string>

#include "framework/ui.h"
#include "picture/winbmp.h"

// The preview square: draws a picture into itself, centred.
class CPreviewArea : public CStatic {
public:
    // Clears the area, then draws bmp at its own size, centred.
    void Show(const CWinBmp& bmp);
    // Clears the area.
    void Clear();
};

class CPictPreviewFileDlg : public CFileDialog {
public:
    // filter is ignored: the dialog has its own.
    CPictPreviewFileDlg(BOOL openFileDialog, LPCSTR defaultExtension = nullptr, LPCSTR fileName = nullptr,
                        DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCSTR filter = nullptr,
                        CWnd* parent = nullptr);

    static const char kFilter[];

    // The picture the preview shows for a file, and the size it is fitted
    // to in an area (each side at least 1 pixel).
    static void Picture(const std::string& path, CWinBmp& bmp);
    static CSize FittedSize(CSize picture, CSize area);

    BOOL OnInitDialog() override;
    CPreviewArea m_preview;

protected:
    void OnFileNameChange() override;
};

class CImagePreviewFileDlg : public CFileDialog {
public:
    // Always an open dialog; withObj adds the OBJ filter. filter is ignored.
    CImagePreviewFileDlg(BOOL withObj, LPCSTR defaultExtension = nullptr, LPCSTR fileName = nullptr,
                         DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCSTR filter = nullptr,
                         CWnd* parent = nullptr);

    static const char kFilterWithObj[];
    static const char kFilterFac[];

    BOOL OnInitDialog() override;
    CPreviewArea m_preview;

protected:
    void OnFileNameChange() override;
};

// The layout the preview dialogs add to the file list.
inline constexpr UINT IDD_PREVIEWFILE = 301;
