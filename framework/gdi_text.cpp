// Text through FreeType: fonts, metrics, TextOut, TabbedTextOut, DrawText.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <tuple>

#include "framework/ascii.h"
#include "framework/backend.h"
#include "framework/gdi_dc_impl.h"

using namespace brv::gdi;

namespace {

bool LiberationFace(std::string_view face) {
  static const char* const names[] = {"",          "Arial",          "MS Sans Serif", "MS Shell Dlg", "MS Shell Dlg 2",
                                      "Helvetica", "Microsoft Sans Serif", "System", "Liberation Sans"};
  for (const char* n : names)
    if (brv::EqualsNoCase(face, n)) return true;
  return false;
}

bool Readable(const char* path) {
  FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  std::fclose(f);
  return true;
}

struct Glyph {
  int left = 0, top = 0, width = 0, height = 0;  // bitmap placement from the pen, y up
  int64_t advanceX = 0, advanceY = 0;            // 26.6
  std::vector<uint8_t> alpha;
};

// One face file at one size (and slant of the text).
struct Sized {
  FT_Face face = nullptr;
  int emPx = 0, widthPx = 0;
  bool mono = false;
  int escapement = 0;  // tenths of a degree
  int ascent = 0, descent = 0, externalLeading = 0, aveCharWidth = 0, maxCharWidth = 0;
  int underlinePos = 0, underlineThickness = 1;
  std::map<char32_t, Glyph> glyphs;
};

class Fonts {
 public:
  Fonts() {
    if (FT_Init_FreeType(&lib_)) lib_ = nullptr;
  }

  // The face and size that a LOGFONT gives (null: no font file at all).
  Sized* Get(const LOGFONT& lf) {
    // the same font is asked for again and again
    if (lastValid_ && std::memcmp(&lf, &lastFont_, sizeof lf) == 0) return last_;
    Sized* s = Find(lf);
    lastFont_ = lf;
    last_ = s;
    lastValid_ = true;
    return s;
  }

 private:
  Sized* Find(const LOGFONT& lf) {
    std::string file = brv::FontFileFor(lf.lfFaceName, lf.lfWeight >= FW_SEMIBOLD, lf.lfItalic != 0);
    if (file.empty() || !lib_) return nullptr;
    FT_Face face = Face(file);
    if (!face) return nullptr;
    const int upem = face->units_per_EM ? face->units_per_EM : 2048;
    const TT_OS2* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    const int cellUnits = os2 && os2->usWinAscent + os2->usWinDescent > 0 ? os2->usWinAscent + os2->usWinDescent
                                                                        : face->ascender - face->descender;
    int em = 12;
    if (lf.lfHeight < 0) em = int(std::min<int64_t>(-int64_t(lf.lfHeight), 4096));
    else if (lf.lfHeight > 0) em = int(std::lround(double(std::min<LONG>(lf.lfHeight, 4096)) * upem / cellUnits));
    em = std::max(em, 1);
    int width = 0;
    if (lf.lfWidth > 0 && os2 && os2->xAvgCharWidth > 0)
      width = int(std::lround(double(std::min<LONG>(lf.lfWidth, 4096)) * upem / os2->xAvgCharWidth));
    const bool mono = lf.lfQuality == NONANTIALIASED_QUALITY;
    const int esc = int(lf.lfEscapement % 3600);
    auto key = std::make_tuple(file, em, width, mono, esc);
    auto it = sized_.find(key);
    if (it != sized_.end()) return &it->second;
    Sized& s = sized_[key];
    s.face = face;
    s.emPx = em;
    s.widthPx = width;
    s.mono = mono;
    s.escapement = esc;
    Select(s);
    const FT_Size_Metrics& m = face->size->metrics;
    s.ascent = int((m.ascender + 63) >> 6);
    s.descent = int((-m.descender + 63) >> 6);
    int64_t lineUnits = int64_t(face->ascender) - face->descender;
    if (face->height > lineUnits) s.externalLeading = int((int64_t(face->height) - lineUnits) * em / upem);
    const double xScale = double(width ? width : em) / upem;
    s.aveCharWidth = os2 ? int(std::lround(os2->xAvgCharWidth * xScale)) : em / 2;
    s.maxCharWidth = int(std::lround(face->max_advance_width * xScale));
    s.underlinePos = std::max(1, int(std::lround(-face->underline_position * double(em) / upem)));
    s.underlineThickness = std::max(1, int(std::lround(face->underline_thickness * double(em) / upem)));
    return &s;
  }


 public:
  const Glyph& GlyphOf(Sized& s, char32_t c) {
    auto it = s.glyphs.find(c);
    if (it != s.glyphs.end()) return it->second;
    Glyph& g = s.glyphs[c];
    Select(s);
    FT_Int32 flags = s.mono ? (FT_LOAD_TARGET_MONO | FT_LOAD_RENDER | FT_LOAD_MONOCHROME)
                            : (FT_LOAD_TARGET_LIGHT | FT_LOAD_RENDER);
    if (FT_Load_Char(s.face, FT_ULong(c), flags)) return g;
    FT_GlyphSlot slot = s.face->glyph;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = int(slot->bitmap.width);
    g.height = int(slot->bitmap.rows);
    g.advanceX = slot->advance.x;
    g.advanceY = slot->advance.y;
    if (s.escapement == 0) g.advanceX = (g.advanceX + 32) & ~int64_t(63);  // whole pixels, as GDI
    g.alpha.resize(size_t(g.width) * size_t(g.height));
    for (int y = 0; y < g.height; ++y) {
      const unsigned char* row = slot->bitmap.buffer + ptrdiff_t(y) * slot->bitmap.pitch;
      for (int x = 0; x < g.width; ++x) {
        uint8_t a = slot->bitmap.pixel_mode == FT_PIXEL_MODE_MONO ? ((row[x / 8] >> (7 - x % 8)) & 1) * 255 : row[x];
        g.alpha[size_t(y) * size_t(g.width) + size_t(x)] = a;
      }
    }
    return g;
  }

 private:
  FT_Face Face(const std::string& file) {
    auto it = faces_.find(file);
    if (it != faces_.end()) return it->second;
    FT_Face face = nullptr;
    if (FT_New_Face(lib_, file.c_str(), 0, &face)) {
      brv::CurrentBackend().Log("font file cannot be read: " + file);
      face = nullptr;
    }
    faces_[file] = face;
    return face;
  }

  void Select(Sized& s) {
    FT_Set_Pixel_Sizes(s.face, FT_UInt(s.widthPx), FT_UInt(s.emPx));
    if (s.escapement) {
      double a = s.escapement * 3.14159265358979323846 / 1800.0;
      FT_Matrix m{FT_Fixed(std::lround(std::cos(a) * 65536)), FT_Fixed(std::lround(-std::sin(a) * 65536)),
                  FT_Fixed(std::lround(std::sin(a) * 65536)), FT_Fixed(std::lround(std::cos(a) * 65536))};
      FT_Set_Transform(s.face, &m, nullptr);
    } else {
      FT_Set_Transform(s.face, nullptr, nullptr);
    }
  }

  FT_Library lib_ = nullptr;
  LOGFONT lastFont_{};
  Sized* last_ = nullptr;
  bool lastValid_ = false;
  std::map<std::string, FT_Face> faces_;
  std::map<std::tuple<std::string, int, int, bool, int>, Sized> sized_;
};

Fonts& fonts() {
  static Fonts* f = new Fonts;  // glyphs are kept for the program's life
  return *f;
}

// Metrics of a font that no file serves: the text still has a size.
void FallbackMetrics(const LOGFONT& lf, TEXTMETRIC* tm) {
  int em = lf.lfHeight < 0 ? int(std::min<int64_t>(-int64_t(lf.lfHeight), 4096)) : lf.lfHeight > 0 ? int(std::min<LONG>(lf.lfHeight, 4096)) : 12;
  *tm = TEXTMETRIC{};
  tm->tmAscent = em;
  tm->tmDescent = (em + 3) / 4;
  tm->tmHeight = tm->tmAscent + tm->tmDescent;
  tm->tmAveCharWidth = std::max(1, em / 2);
  tm->tmMaxCharWidth = em;
}

void Metrics(const LOGFONT& lf, TEXTMETRIC* tm) {
  Sized* s = fonts().Get(lf);
  if (!s) {
    FallbackMetrics(lf, tm);
    return;
  }
  *tm = TEXTMETRIC{};
  tm->tmAscent = s->ascent;
  tm->tmDescent = s->descent;
  tm->tmHeight = s->ascent + s->descent;
  tm->tmInternalLeading = std::max(0, tm->tmHeight - s->emPx);
  tm->tmExternalLeading = s->externalLeading;
  tm->tmAveCharWidth = s->aveCharWidth;
  tm->tmMaxCharWidth = s->maxCharWidth;
  tm->tmWeight = lf.lfWeight ? lf.lfWeight : FW_NORMAL;
  tm->tmDigitizedAspectX = tm->tmDigitizedAspectY = 96;
  tm->tmFirstChar = 32;
  tm->tmLastChar = 255;
  tm->tmDefaultChar = '?';
  tm->tmBreakChar = ' ';
  tm->tmItalic = lf.lfItalic;
  tm->tmUnderlined = lf.lfUnderline;
  tm->tmStruckOut = lf.lfStrikeOut;
  tm->tmPitchAndFamily = VARIABLE_PITCH | FF_SWISS | 0x04;  // TrueType
  tm->tmCharSet = lf.lfCharSet;
}

// Pixel advance of a text (no tabs) along the baseline.
int64_t Advance(const LOGFONT& lf, std::u32string_view text) {
  Sized* s = fonts().Get(lf);
  if (!s) {
    TEXTMETRIC tm;
    FallbackMetrics(lf, &tm);
    return int64_t(text.size()) * tm.tmAveCharWidth;
  }
  int64_t adv = 0;
  for (char32_t c : text) adv += fonts().GlyphOf(*s, c).advanceX;
  return (adv + 32) >> 6;
}

std::string_view Bytes(LPCTSTR text, int count) {
  if (!text) return {};
  if (count < 0) return std::string_view(text);
  // Windows stops at the count, not at a NUL inside it
  return std::string_view(text, size_t(count));
}

}  // namespace

namespace brv::gdi {

std::u32string DecodeUtf8(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    bool ok = len > 0 && i + size_t(len) <= s.size();
    for (int k = 1; ok && k < len; ++k) {
      unsigned char n = static_cast<unsigned char>(s[i + size_t(k)]);
      if ((n >> 6) != 2) ok = false;
      else cp = (cp << 6) | (n & 0x3F);
    }
    if (!ok) {
      out.push_back(c);  // a stray byte stands for itself
      ++i;
      continue;
    }
    out.push_back(cp);
    i += size_t(len);
  }
  return out;
}

// Draws a run of text with its pen origin (baseline start) at surface
// (x, y) in 26.6, blending the text colour over what is there.
void DrawRun(CDC::Impl& d, Target& t, const LOGFONT& lf, std::u32string_view text, int64_t x64, int64_t y64,
             bool underlineAll, const std::vector<size_t>& underlined) {
  Sized* s = fonts().Get(lf);
  if (!s) return;
  const uint32_t colour = d.Ink(d.st.text);
  const bool mono = d.Mono();
  const int cr = (colour >> 16) & 255, cg = (colour >> 8) & 255, cb = colour & 255;
  int64_t penX = x64, penY = y64;
  for (size_t i = 0; i < text.size(); ++i) {
    const Glyph& g = fonts().GlyphOf(*s, text[i]);
    const int64_t gx = ((penX + 32) >> 6) + g.left, gy = ((penY + 32) >> 6) - g.top;
    for (int yy = 0; yy < g.height; ++yy) {
      const uint8_t* a = &g.alpha[size_t(yy) * size_t(g.width)];
      int64_t row = gy + yy;
      int64_t x0 = gx, x1 = gx + g.width;
      t.Span(row, x0, x1, [&](uint32_t& px, int x, int) {
        unsigned al = a[x - gx];
        if (!al) return;
        if (al == 255 || mono) {
          if (al >= 128) px = colour;
          return;
        }
        unsigned r = (px >> 16) & 255, gg = (px >> 8) & 255, b = px & 255;
        r = (cr * al + r * (255 - al) + 127) / 255;
        gg = (cg * al + gg * (255 - al) + 127) / 255;
        b = (cb * al + b * (255 - al) + 127) / 255;
        px = (r << 16) | (gg << 8) | b;
      });
    }
    bool under = underlineAll || std::find(underlined.begin(), underlined.end(), i) != underlined.end();
    int64_t nextX = penX + g.advanceX, nextY = penY - g.advanceY;
    if (under && s->escapement == 0) {
      int64_t base = (penY + 32) >> 6;
      for (int k = 0; k < s->underlineThickness; ++k)
        t.Span(base + s->underlinePos + k, (penX + 32) >> 6, (nextX + 32) >> 6, [&](uint32_t& px, int, int) { px = colour; });
    }
    penX = nextX, penY = nextY;
  }
  if (lf.lfStrikeOut && s->escapement == 0) {
    int64_t base = ((y64 + 32) >> 6) - s->ascent / 3;
    t.Span(base, (x64 + 32) >> 6, (penX + 32) >> 6, [&](uint32_t& px, int, int) { px = colour; });
  }
}

}  // namespace brv::gdi

// ---------------------------------------------------------------- fonts

namespace brv {

std::string FontFileFor(std::string_view faceName, bool bold, bool italic) {
  const bool liberation = LiberationFace(faceName);
  const int want = (bold ? 1 : 0) + (italic ? 2 : 0);
  // fonts are looked up once a kind
  static std::map<std::pair<bool, int>, std::string> found;
  auto it = found.find({liberation, want});
  if (it != found.end()) return it->second;
  std::string file;
  // Through fontconfig, which falls back to the nearest font installed when
  // the family is missing; only a system without any font gives nothing.
  if (FcInit()) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY,
                       reinterpret_cast<const FcChar8*>(liberation ? "Liberation Sans" : "DejaVu Sans"));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
      FcChar8* path = nullptr;
      if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path &&
          Readable(reinterpret_cast<const char*>(path)))
        file = reinterpret_cast<const char*>(path);
      FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
  }
  found[{liberation, want}] = file;
  return file;
}

bool FontsFound() { return !FontFileFor("", false, false).empty(); }

void DialogLogFont(LOGFONT* out) {
  *out = LOGFONT{};
  out->lfHeight = -11;
  out->lfWeight = FW_NORMAL;
  out->lfCharSet = DEFAULT_CHARSET;
  std::strcpy(out->lfFaceName, "MS Sans Serif");
}

HFONT DialogFont() { return reinterpret_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)); }

CSize DialogBaseUnits() { return CSize(6, 13); }

CSize TextExtent(HFONT font, std::string_view text) {
  auto f = LookupAs<Font>(font ? font : DialogFont(), Kind::kFont);
  LOGFONT lf;
  if (f) lf = f->lf; else DialogLogFont(&lf);
  TEXTMETRIC tm;
  Metrics(lf, &tm);
  return CSize(int(std::min<int64_t>(Advance(lf, gdi::DecodeUtf8(text)), INT32_MAX)), tm.tmHeight);
}

bool TextMetrics(HFONT font, TEXTMETRIC* out) {
  auto f = LookupAs<Font>(font ? font : DialogFont(), Kind::kFont);
  if (!f || !out) return false;
  Metrics(f->lf, out);
  return true;
}

}  // namespace brv

// ---------------------------------------------------------------- the DC

namespace {

// Positions of the parts of a text split at tabs: each part's start offset
// from x, and the whole extent.
struct TabLayout {
  std::vector<std::pair<int64_t, std::u32string>> parts;
  int64_t width = 0;
};

TabLayout LayOutTabs(const LOGFONT& lf, std::u32string_view text, int tabCount, const int* tabStops, int64_t startX,
                     int64_t tabOrigin, int aveCharWidth) {
  TabLayout out;
  int64_t pos = startX;  // absolute x of the pen
  std::u32string part;
  auto flush = [&] {
    out.parts.push_back({pos - startX, part});
    pos += Advance(lf, part);
    part.clear();
  };
  for (char32_t c : text) {
    if (c != U'\t') {
      part.push_back(c);
      continue;
    }
    flush();
    int64_t rel = pos - tabOrigin;
    int64_t next = rel;
    if (tabCount <= 1 || !tabStops) {
      int64_t step = (tabCount == 1 && tabStops && tabStops[0] > 0) ? tabStops[0] : int64_t(8) * std::max(aveCharWidth, 1);
      next = (rel / step + 1) * step;
    } else {
      bool found = false;
      for (int k = 0; k < tabCount; ++k) {
        int64_t stop = std::abs(tabStops[k]);
        if (stop > rel) {
          next = stop;
          found = true;
          break;
        }
      }
      // past the last stop a tab is one space
      if (!found) next = rel + Advance(lf, U" ");
    }
    pos = tabOrigin + next;
  }
  flush();
  out.width = pos - startX;
  return out;
}

}  // namespace

namespace {

// Draws text with the DC's alignment from logical (x, y); parts at offsets
// along the baseline. Returns the advance.
int64_t OutText(CDC::Impl& d, CDC& dc, int x, int y, const LOGFONT& lf, const TabLayout& layout,
                const RECT* opaqueRect, const RECT* clipRect, bool underlineAll,
                const std::vector<std::vector<size_t>>& underlined) {
  TEXTMETRIC tm;
  Metrics(lf, &tm);
  const UINT align = d.st.align;
  int64_t refX = x, refY = y;
  if (align & TA_UPDATECP) refX = d.st.position.x, refY = d.st.position.y;
  const int64_t width = layout.width;
  int64_t startX = refX;
  if ((align & TA_CENTER) == TA_CENTER) startX = refX - width / 2;
  else if (align & TA_RIGHT) startX = refX - width;
  int64_t baseline = refY + tm.tmAscent;
  if ((align & TA_BASELINE) == TA_BASELINE) baseline = refY;
  else if (align & TA_BOTTOM) baseline = refY - tm.tmDescent;
  if (align & TA_UPDATECP) {
    if ((align & TA_CENTER) != TA_CENTER && (align & TA_RIGHT)) d.st.position.x = LONG(refX - width);
    else if ((align & TA_CENTER) != TA_CENTER) d.st.position.x = LONG(refX + width);
  }
  if (!d.surface) return width;
  DrawScope scope(&d);
  // text ignores the ROP2 mode; clip to the rectangle asked for
  brv::Region clip = d.Clip();
  if (clipRect) {
    CRect c(LONG(std::clamp<int64_t>(d.X(clipRect->left), INT32_MIN, INT32_MAX)), LONG(std::clamp<int64_t>(d.Y(clipRect->top), INT32_MIN, INT32_MAX)),
            LONG(std::clamp<int64_t>(d.X(clipRect->right), INT32_MIN, INT32_MAX)), LONG(std::clamp<int64_t>(d.Y(clipRect->bottom), INT32_MIN, INT32_MAX)));
    clip = clip.Intersect(brv::Region(c));
  }
  Target t(*d.surface, clip, d.BoundsSink());
  const double angle = lf.lfEscapement * 3.14159265358979323846 / 1800.0;
  const double ca = std::cos(angle), sa = std::sin(angle);
  if (opaqueRect) {
    uint32_t bk = d.Ink(d.st.bk);
    for (int64_t yy = d.Y(opaqueRect->top); yy < d.Y(opaqueRect->bottom); ++yy) {
      if (yy < t.Box().top) continue;
      if (yy >= t.Box().bottom) break;
      t.Span(yy, d.X(opaqueRect->left), d.X(opaqueRect->right), [bk](uint32_t& px, int, int) { px = bk; });
    }
  } else if (d.st.bkMode == OPAQUE && lf.lfEscapement == 0) {
    uint32_t bk = d.Ink(d.st.bk);
    for (int64_t yy = baseline - tm.tmAscent; yy < baseline + tm.tmDescent; ++yy)
      t.Span(d.Y(yy), d.X(startX), d.X(startX + width), [bk](uint32_t& px, int, int) { px = bk; });
  }
  for (size_t k = 0; k < layout.parts.size(); ++k) {
    const auto& [offset, part] = layout.parts[k];
    // the pen origin, turned about the reference point with the escapement
    double ox = double(startX - refX + offset), oy = double(baseline - refY);
    double px = double(refX) + ox * ca + oy * sa, py = double(refY) - ox * sa + oy * ca;
    int64_t sx = int64_t(std::llround((double(d.X(0)) + px) * 64)), sy = int64_t(std::llround((double(d.Y(0)) + py) * 64));
    static const std::vector<size_t> none;
    DrawRun(d, t, lf, part, sx, sy, underlineAll || lf.lfUnderline, k < underlined.size() ? underlined[k] : none);
  }
  (void)dc;
  return width;
}

}  // namespace

BOOL CDC::TextOut(int x, int y, LPCTSTR text, int count) {
  if (!text || count < 0) return FALSE;
  Impl& d = *impl_;
  const LOGFONT& lf = d.st.font->lf;
  TabLayout layout;
  std::u32string s = DecodeUtf8(Bytes(text, count));
  layout.width = Advance(lf, s);
  layout.parts.push_back({0, s});
  OutText(d, *this, x, y, lf, layout, nullptr, nullptr, false, {});
  return TRUE;
}
BOOL CDC::TextOut(int x, int y, const CString& text) { return TextOut(x, y, text.GetString(), text.GetLength()); }

BOOL CDC::ExtTextOut(int x, int y, UINT options, LPCRECT rect, LPCTSTR text, UINT count, const int* dx) {
  Impl& d = *impl_;
  const LOGFONT& lf = d.st.font->lf;
  TabLayout layout;
  std::u32string s = DecodeUtf8(Bytes(text, text ? int(std::min<UINT>(count, INT32_MAX)) : 0));
  if (dx) {
    // each character at the given distances
    int64_t off = 0;
    for (size_t i = 0; i < s.size(); ++i) {
      layout.parts.push_back({off, s.substr(i, 1)});
      off += dx[i];
    }
    layout.width = off;
  } else {
    layout.width = Advance(lf, s);
    layout.parts.push_back({0, s});
  }
  CRect r;
  if (rect) {
    r = *rect;
    r.NormalizeRect();
  }
  OutText(d, *this, x, y, lf, layout, (options & ETO_OPAQUE) && rect ? &r : nullptr,
          (options & ETO_CLIPPED) && rect ? &r : nullptr, false, {});
  return TRUE;
}
BOOL CDC::ExtTextOut(int x, int y, UINT options, LPCRECT rect, const CString& text, const int* dx) {
  return ExtTextOut(x, y, options, rect, text.GetString(), UINT(text.GetLength()), dx);
}

CSize CDC::TabbedTextOut(int x, int y, LPCTSTR text, int count, int tabCount, const int* tabStops, int tabOrigin) {
  Impl& d = *impl_;
  const LOGFONT& lf = d.st.font->lf;
  TEXTMETRIC tm;
  Metrics(lf, &tm);
  TabLayout layout = LayOutTabs(lf, DecodeUtf8(Bytes(text, count)), tabCount, tabStops, x, tabOrigin, tm.tmAveCharWidth);
  OutText(d, *this, x, y, lf, layout, nullptr, nullptr, false, {});
  return CSize(int(std::min<int64_t>(layout.width, INT32_MAX)), tm.tmHeight);
}
CSize CDC::TabbedTextOut(int x, int y, const CString& text, int tabCount, const int* tabStops, int tabOrigin) {
  return TabbedTextOut(x, y, text.GetString(), text.GetLength(), tabCount, tabStops, tabOrigin);
}

CSize CDC::GetTextExtent(LPCTSTR text, int count) const {
  const LOGFONT& lf = impl_->st.font->lf;
  TEXTMETRIC tm;
  Metrics(lf, &tm);
  return CSize(int(std::min<int64_t>(Advance(lf, DecodeUtf8(Bytes(text, count))), INT32_MAX)), tm.tmHeight);
}
CSize CDC::GetTextExtent(const CString& text) const { return GetTextExtent(text.GetString(), text.GetLength()); }
CSize CDC::GetOutputTextExtent(LPCTSTR text, int count) const { return GetTextExtent(text, count); }
CSize CDC::GetOutputTextExtent(const CString& text) const { return GetTextExtent(text); }
BOOL CDC::GetTextExtentPoint32(LPCTSTR text, int count, LPSIZE size) const {
  if (!size || !text || count < 0) return FALSE;
  *size = GetTextExtent(text, count);
  return TRUE;
}
CSize CDC::GetTabbedTextExtent(LPCTSTR text, int count, int tabCount, const int* tabStops) const {
  const LOGFONT& lf = impl_->st.font->lf;
  TEXTMETRIC tm;
  Metrics(lf, &tm);
  TabLayout layout = LayOutTabs(lf, DecodeUtf8(Bytes(text, count)), tabCount, tabStops, 0, 0, tm.tmAveCharWidth);
  return CSize(int(std::min<int64_t>(layout.width, INT32_MAX)), tm.tmHeight);
}
BOOL CDC::GetTextMetrics(LPTEXTMETRIC metrics) const {
  if (!metrics) return FALSE;
  Metrics(impl_->st.font->lf, metrics);
  return TRUE;
}
BOOL CDC::GetOutputTextMetrics(LPTEXTMETRIC metrics) const { return GetTextMetrics(metrics); }
int CDC::GetTextFace(int count, LPTSTR faceName) const {
  const char* face = impl_->st.font->lf.lfFaceName;
  int n = int(std::strlen(face));
  if (!faceName) return n + 1;
  if (count <= 0) return 0;
  int k = std::min(n, count - 1);
  std::memcpy(faceName, face, size_t(k));
  faceName[k] = 0;
  return k;
}

// ---------------------------------------------------------------- DrawText

namespace {

struct Line {
  std::u32string text;
  std::vector<size_t> underlined;  // positions of prefixed characters
};

// Removes the '&' prefixes: "&&" is one '&', "&x" underlines x.
Line StripPrefix(std::u32string_view s, bool prefix) {
  Line out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (prefix && s[i] == U'&') {
      if (i + 1 < s.size() && s[i + 1] == U'&') {
        out.text.push_back(U'&');
        ++i;
      } else if (i + 1 < s.size()) {
        out.underlined.push_back(out.text.size());
      }
      continue;
    }
    out.text.push_back(s[i]);
  }
  return out;
}

}  // namespace

int CDC::DrawText(LPCTSTR text, int count, LPRECT rect, UINT format) {
  if (!text || !rect) return 0;
  Impl& d = *impl_;
  const LOGFONT& lf = d.st.font->lf;
  TEXTMETRIC tm;
  Metrics(lf, &tm);
  const int lineHeight = tm.tmHeight + ((format & DT_EXTERNALLEADING) ? tm.tmExternalLeading : 0);
  std::u32string all = DecodeUtf8(Bytes(text, count));
  const bool prefix = !(format & DT_NOPREFIX);
  const int tabChars = (format & DT_TABSTOP) ? int((format >> 8) & 0xFF) : 8;
  const int64_t tabStep = int64_t(std::max(tabChars, 1)) * std::max<int>(tm.tmAveCharWidth, 1);
  const int64_t width = int64_t(rect->right) - rect->left;

  auto measure = [&](std::u32string_view s) -> int64_t {
    if (!(format & DT_EXPANDTABS)) return Advance(lf, s);
    int step = int(std::min<int64_t>(tabStep, INT32_MAX));
    return LayOutTabs(lf, s, 1, &step, 0, 0, tm.tmAveCharWidth).width;
  };

  // split into lines, then break words to the width
  std::vector<std::u32string> raw;
  if (format & DT_SINGLELINE) {
    std::u32string one;
    for (char32_t c : all)
      if (c != U'\r' && c != U'\n') one.push_back(c);
    raw.push_back(one);
  } else {
    std::u32string cur;
    for (size_t i = 0; i < all.size(); ++i) {
      if (all[i] == U'\r' || all[i] == U'\n') {
        raw.push_back(cur);
        cur.clear();
        if (all[i] == U'\r' && i + 1 < all.size() && all[i + 1] == U'\n') ++i;
        continue;
      }
      cur.push_back(all[i]);
    }
    raw.push_back(cur);
  }
  std::vector<Line> lines;
  for (const std::u32string& r : raw) {
    Line l = StripPrefix(r, prefix);
    if (!(format & DT_WORDBREAK) || (format & DT_SINGLELINE) || measure(l.text) <= width) {
      lines.push_back(l);
      continue;
    }
    // greedy word wrap; a word wider than the line stays whole (or breaks
    // with DT_EDITCONTROL)
    size_t start = 0;
    const std::u32string& s = l.text;
    while (start < s.size()) {
      size_t end = start, lastFit = start;
      while (end < s.size()) {
        size_t next = end;
        while (next < s.size() && s[next] == U' ') ++next;
        while (next < s.size() && s[next] != U' ') ++next;
        if (measure(std::u32string_view(s).substr(start, next - start)) > width && end > start) break;
        end = next;
        lastFit = end;
        if (measure(std::u32string_view(s).substr(start, end - start)) > width) break;
      }
      if (lastFit == start) lastFit = s.size();
      if ((format & DT_EDITCONTROL) && measure(std::u32string_view(s).substr(start, lastFit - start)) > width) {
        size_t k = start + 1;
        while (k < lastFit && measure(std::u32string_view(s).substr(start, k + 1 - start)) <= width) ++k;
        lastFit = k;
      }
      Line part;
      part.text = s.substr(start, lastFit - start);
      for (size_t u : l.underlined)
        if (u >= start && u < lastFit) part.underlined.push_back(u - start);
      while (!part.text.empty() && part.text.back() == U' ') part.text.pop_back();
      lines.push_back(part);
      start = lastFit;
      while (start < s.size() && s[start] == U' ') ++start;
    }
    if (s.empty()) lines.push_back(l);
  }

  // ellipses for lines that do not fit
  if (format & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS)) {
    for (Line& l : lines) {
      if (measure(l.text) <= width) continue;
      const std::u32string dots = U"...";
      if (format & DT_PATH_ELLIPSIS) {
        size_t slash = l.text.find_last_of(U"\\/");
        std::u32string tail = slash == std::u32string::npos ? l.text : l.text.substr(slash);
        std::u32string head = slash == std::u32string::npos ? std::u32string() : l.text.substr(0, slash);
        while (!head.empty() && measure(head + dots + tail) > width) head.pop_back();
        l.text = head + dots + tail;
      } else {
        std::u32string t = l.text;
        while (!t.empty() && measure(t + dots) > width) t.pop_back();
        l.text = t + dots;
      }
      l.underlined.clear();
    }
  }

  int64_t maxWidth = 0;
  for (const Line& l : lines) maxWidth = std::max(maxWidth, measure(l.text));
  const int64_t textHeight = int64_t(lineHeight) * int64_t(lines.size());
  if (format & DT_CALCRECT) {
    if (format & DT_SINGLELINE) {
      rect->right = LONG(std::min<int64_t>(int64_t(rect->left) + maxWidth, INT32_MAX));
      rect->bottom = LONG(std::min<int64_t>(int64_t(rect->top) + lineHeight, INT32_MAX));
    } else {
      if (!(format & DT_WORDBREAK) || maxWidth > width) rect->right = LONG(std::min<int64_t>(int64_t(rect->left) + maxWidth, INT32_MAX));
      rect->bottom = LONG(std::min<int64_t>(int64_t(rect->top) + textHeight, INT32_MAX));
    }
    return int(std::min<int64_t>(textHeight, INT32_MAX));
  }

  int64_t top = rect->top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER) top = rect->top + (int64_t(rect->bottom) - rect->top - lineHeight) / 2;
    else if (format & DT_BOTTOM) top = int64_t(rect->bottom) - lineHeight;
  }
  // DrawText aligns by itself
  UINT keepAlign = d.st.align;
  d.st.align = TA_LEFT | TA_TOP;
  CRect clip(*rect);
  for (size_t k = 0; k < lines.size(); ++k) {
    const Line& l = lines[k];
    int64_t w = measure(l.text);
    int64_t x = rect->left;
    if (format & DT_CENTER) x = rect->left + (width - w) / 2;
    else if (format & DT_RIGHT) x = int64_t(rect->right) - w;
    int64_t y = top + int64_t(k) * lineHeight;
    TabLayout layout;
    if (format & DT_EXPANDTABS) {
      int step = int(std::min<int64_t>(tabStep, INT32_MAX));
      layout = LayOutTabs(lf, l.text, 1, &step, x, x, tm.tmAveCharWidth);
    } else {
      layout.parts.push_back({0, l.text});
      layout.width = w;
    }
    std::vector<std::vector<size_t>> under;
    if (!(format & DT_HIDEPREFIX) && !l.underlined.empty() && layout.parts.size() == 1) under.push_back(l.underlined);
    if (format & DT_PREFIXONLY) continue;
    OutText(d, *this, int(std::clamp<int64_t>(x, INT32_MIN, INT32_MAX)), int(std::clamp<int64_t>(y, INT32_MIN, INT32_MAX)),
            lf, layout, nullptr, (format & DT_NOCLIP) ? nullptr : &clip, false, under);
  }
  d.st.align = keepAlign;
  return int(std::min<int64_t>((top - rect->top) + textHeight, INT32_MAX));
}

int CDC::DrawText(const CString& text, LPRECT rect, UINT format) {
  return DrawText(text.GetString(), text.GetLength(), rect, format);
}
