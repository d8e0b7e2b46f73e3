#include "dialogs/previewfiledlg.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <fstream>
#include <iterator>
#include <vector>

#include "document/facedoc.h"
#include "framework/paths.h"
#include "picture/anypicdecoder.h"
#include "picture/png.h"
#include "picture/textexception.h"

namespace {

const char kPictNote[] = "Cancel, if you use only Ostrelo";

void greyPixel(CWinBmp& bmp) {
    bmp.Create(1, 1, 32, false);
    bmp.SetPixel(0, 0, CPixel32(128, 128, 128, 0));
}

// The PNG reader reports nothing: a file it cannot read is checked first,
// so that it too shows as undecodable.
bool readPng(const std::string& path, CWinBmp& bmp) {
    std::ifstream in(brv::PosixPath(path), std::ios::binary);
    if (!in) return false;
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    YsRawPngDecoder probe;
    if (probe.Decode(bytes.data(), bytes.size()) != 1 || probe.wid <= 0 || probe.hei <= 0) return false;
    MakeBmpFromPNGData(bytes.data(), bytes.size(), &bmp, 32);
    return true;
}

}  // namespace

// ---------------------------------------------------------------- the area

void CPreviewArea::Clear() {
    if (m_hWnd) RedrawWindow();
}

void CPreviewArea::Show(const CWinBmp& bmp) {
    if (!m_hWnd) return;
    Clear();
    CRect area;
    GetClientRect(&area);
    CClientDC dc(this);
    bmp.Draw(&dc, (area.Width() - bmp.GetWidth()) / 2, (area.Height() - bmp.GetHeight()) / 2, SRCCOPY);
}

// ---------------------------------------------------------------- photos

const char CPictPreviewFileDlg::kFilter[] =
    "JPG Files (*.jpg)|*.jpg|BMP Files (*.bmp)|*.bmp|TIF Files (*.tif)|*.tif|PNG Files (*.png)|*.png|"
    "GIF Files (*.gif)|*.gif|PCX Files (*.pcx)|*.pcx||";

CPictPreviewFileDlg::CPictPreviewFileDlg(BOOL openFileDialog, LPCSTR defaultExtension, LPCSTR fileName, DWORD flags,
                                         LPCSTR, CWnd* parent)
    : CFileDialog(openFileDialog, defaultExtension, fileName, flags | OFN_EXPLORER | OFN_ENABLETEMPLATE, kFilter,
                  parent) {
    m_ofn.lpTemplateName = MAKEINTRESOURCE(IDD_PREVIEWFILE);
}

BOOL CPictPreviewFileDlg::OnInitDialog() {
    CFileDialog::OnInitDialog();
    SetDlgItemText(119, kPictNote);
    m_preview.SubclassDlgItem(303, this);
    return TRUE;
}

void CPictPreviewFileDlg::Picture(const std::string& path, CWinBmp& bmp) {
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    bool ok = true;
    try {
        if (lower.size() >= 3 && lower.compare(lower.size() - 3, 3, "png") == 0)
            ok = readPng(path, bmp);
        else
            CAnyPicDecoder().MakeBmpFromFile(path.c_str(), &bmp, 32);
    } catch (const CTextException&) {
        ok = false;
    } catch (const std::exception&) {
        ok = false;
    }
    if (!ok || bmp.GetWidth() <= 0 || bmp.GetHeight() <= 0) greyPixel(bmp);
}

CSize CPictPreviewFileDlg::FittedSize(CSize picture, CSize area) {
    if (picture.cx <= 0 || picture.cy <= 0 || area.cx <= 0 || area.cy <= 0) return CSize(1, 1);
    // Fitted inside with the aspect kept: the side that reaches the area's
    // edge first takes the area's size.
    int64_t w = area.cx, h = area.cy;
    if (int64_t(picture.cx) * area.cy >= int64_t(picture.cy) * area.cx)
        h = int64_t(area.cx) * picture.cy / picture.cx;
    else
        w = int64_t(area.cy) * picture.cx / picture.cy;
    return CSize(int(std::max<int64_t>(w, 1)), int(std::max<int64_t>(h, 1)));
}

void CPictPreviewFileDlg::OnFileNameChange() {
    CFileDialog::OnFileNameChange();
    CString path = GetPathName();
    if (path.IsEmpty() || !m_preview.m_hWnd) return;
    m_preview.Clear();
    CWinBmp bmp;
    Picture(std::string(path.View()), bmp);
    CRect area;
    m_preview.GetClientRect(&area);
    CSize size = FittedSize(CSize(bmp.GetWidth(), bmp.GetHeight()), CSize(area.Width(), area.Height()));
    bmp.ResizeBilinear(size.cx, size.cy);
    m_preview.Show(bmp);
}

// ---------------------------------------------------------------- projects

const char CImagePreviewFileDlg::kFilterWithObj[] = "FAC Files (*.fac)|*.fac|OBJ Files (*.obj)|*.obj||";
const char CImagePreviewFileDlg::kFilterFac[] = "FAC Files (*.fac)|*.fac||";

CImagePreviewFileDlg::CImagePreviewFileDlg(BOOL withObj, LPCSTR defaultExtension, LPCSTR fileName, DWORD flags,
                                           LPCSTR, CWnd* parent)
    : CFileDialog(TRUE, defaultExtension, fileName, flags | OFN_EXPLORER | OFN_ENABLETEMPLATE,
                  withObj ? kFilterWithObj : kFilterFac, parent) {
    m_ofn.lpTemplateName = MAKEINTRESOURCE(IDD_PREVIEWFILE);
}

BOOL CImagePreviewFileDlg::OnInitDialog() {
    CFileDialog::OnInitDialog();
    m_preview.SubclassDlgItem(303, this);
    return TRUE;
}

void CImagePreviewFileDlg::OnFileNameChange() {
    CFileDialog::OnFileNameChange();
    CString path = GetPathName();
    if (path.IsEmpty() || !m_preview.m_hWnd) return;
    CWinBmp bmp;
    if (!CFaceDoc::ReadPreview(std::string(path.View()), bmp) || bmp.GetWidth() <= 0 || bmp.GetHeight() <= 0) return;
    m_preview.Show(bmp);
}
