#include "framework/layout_parser.h"

#include <charconv>
#include <map>
#include <memory>
#include <set>

#include "framework/ascii.h"
#include "framework/backend.h"
#include "framework/resources.h"

namespace brv {

namespace {

struct Token {
  std::string text;
  bool quoted = false;
};

// One line split into tokens; a problem (bad quoting) goes into *problem.
std::vector<Token> Tokenize(std::string_view line, std::string* problem) {
  std::vector<Token> out;
  std::size_t i = 0;
  while (i < line.size()) {
    char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
      continue;
    }
    Token t;
    if (c == '"') {
      t.quoted = true;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        char d = line[i++];
        if (d == '"') {
          closed = true;
          break;
        }
        if (d != '\\') {
          t.text += d;
          continue;
        }
        if (i >= line.size()) break;
        char e = line[i++];
        switch (e) {
          case '"': t.text += '"'; break;
          case '\\': t.text += '\\'; break;
          case 't': t.text += '\t'; break;
          case 'n': t.text += '\n'; break;
          default: *problem = std::string("unknown escape \\") + e; return {};
        }
      }
      if (!closed) {
        *problem = "text without its closing quote";
        return {};
      }
      if (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
        *problem = "no blank after a closing quote";
        return {};
      }
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
        if (line[i] == '"') {
          *problem = "quote inside a word";
          return {};
        }
        t.text += line[i++];
      }
    }
    out.push_back(std::move(t));
  }
  return out;
}

// Calls f(lineNumber, tokens) for every line that is not blank or a comment;
// stops at the first problem, which it returns with the file and line.
template <class F>
bool ForEachLine(std::string_view text, std::string_view file, std::string* error, F&& f) {
  int number = 0;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++number;
    std::size_t start = line.find_first_not_of(" \t\r");
    if (start == std::string_view::npos || line[start] == '#') continue;
    std::string problem;
    std::vector<Token> tokens = Tokenize(line, &problem);
    if (problem.empty()) problem = f(number, tokens);
    if (!problem.empty()) {
      *error = std::string(file) + ":" + std::to_string(number) + ": " + problem;
      return false;
    }
  }
  return true;
}

bool ParseInt(const std::string& s, bool allowHex, long long* out) {
  if (s.empty()) return false;
  const char* first = s.data();
  const char* last = first + s.size();
  bool negative = false;
  if (*first == '-') negative = true, ++first;
  int base = 10;
  if (allowHex && last - first > 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X')) first += 2, base = 16;
  if (first == last) return false;
  unsigned long long v = 0;
  auto [p, ec] = std::from_chars(first, last, v, base);
  if (ec != std::errc() || p != last || v > 0x7FFFFFFFull) return false;
  *out = negative ? -static_cast<long long>(v) : static_cast<long long>(v);
  return true;
}

// A number in [lo, hi]; the problem names `what` otherwise.
std::string Number(const Token& t, const char* what, long long lo, long long hi, bool allowHex, int* out) {
  long long v = 0;
  if (t.quoted || !ParseInt(t.text, allowHex, &v)) return std::string("bad ") + what + " '" + t.text + "'";
  if (v < lo || v > hi) return std::string(what) + " " + t.text + " out of range";
  *out = static_cast<int>(v);
  return {};
}

std::string Quoted(const std::vector<Token>& tokens, std::size_t i, const char* what, std::string* out) {
  if (i >= tokens.size()) return std::string("missing ") + what;
  if (!tokens[i].quoted) return std::string(what) + " must stand in double quotes";
  *out = tokens[i].text;
  return {};
}

struct KindInfo {
  const char* name;
  ControlKind kind;
  DWORD base;  // style of the kind without flags
  std::vector<std::pair<const char*, DWORD>> flags;
};

const std::vector<KindInfo>& Kinds() {
  static const std::vector<KindInfo> kinds = {
      {"button", ControlKind::kButton, BS_PUSHBUTTON, {{"default", BS_DEFPUSHBUTTON}}},
      {"check", ControlKind::kCheck, BS_CHECKBOX, {{"auto", BS_AUTOCHECKBOX}, {"pushlike", BS_PUSHLIKE}}},
      {"radio", ControlKind::kRadio, BS_RADIOBUTTON, {{"auto", BS_AUTORADIOBUTTON}, {"pushlike", BS_PUSHLIKE}}},
      {"static",
       ControlKind::kStatic,
       SS_LEFT,
       {{"left", SS_LEFT},
        {"center", SS_CENTER},
        {"right", SS_RIGHT},
        {"sunken", SS_SUNKEN},
        {"notify", SS_NOTIFY},
        {"noprefix", SS_NOPREFIX}}},
      {"bitmap", ControlKind::kBitmap, SS_BITMAP, {{"sunken", SS_SUNKEN}, {"notify", SS_NOTIFY}, {"center", SS_CENTERIMAGE}}},
      {"icon", ControlKind::kIcon, SS_ICON, {{"sunken", SS_SUNKEN}, {"notify", SS_NOTIFY}, {"center", SS_CENTERIMAGE}}},
      {"frame",
       ControlKind::kFrame,
       SS_BLACKFRAME,
       {{"sunken", SS_SUNKEN},
        {"etched", SS_ETCHEDFRAME},
        {"black", SS_BLACKFRAME},
        {"gray", SS_GRAYFRAME},
        {"white", SS_WHITEFRAME}}},
      {"groupbox", ControlKind::kGroupBox, BS_GROUPBOX, {}},
      {"edit",
       ControlKind::kEdit,
       ES_LEFT,
       {{"multiline", ES_MULTILINE},
        {"wantreturn", ES_WANTRETURN},
        {"password", ES_PASSWORD},
        {"readonly", ES_READONLY},
        {"vscroll", WS_VSCROLL},
        {"hscroll", WS_HSCROLL},
        {"autohscroll", ES_AUTOHSCROLL},
        {"autovscroll", ES_AUTOVSCROLL},
        {"number", ES_NUMBER},
        {"center", ES_CENTER},
        {"right", ES_RIGHT}}},
      {"slider",
       ControlKind::kSlider,
       TBS_HORZ,
       {{"vertical", TBS_VERT},
        {"autoticks", TBS_AUTOTICKS},
        {"noticks", TBS_NOTICKS},
        {"both", TBS_BOTH},
        {"top", TBS_TOP},
        {"left", TBS_LEFT}}},
      {"progress", ControlKind::kProgress, 0, {{"smooth", PBS_SMOOTH}, {"vertical", PBS_VERTICAL}}},
      {"list",
       ControlKind::kList,
       LVS_ICON,
       {{"report", LVS_REPORT},
        {"noheader", LVS_NOCOLUMNHEADER},
        {"singlesel", LVS_SINGLESEL},
        {"showselalways", LVS_SHOWSELALWAYS},
        {"icon", LVS_ICON},
        {"smallicon", LVS_SMALLICON}}},
      {"tab", ControlKind::kTab, 0, {}},
      {"combo",
       ControlKind::kCombo,
       CBS_DROPDOWN,
       {{"dropdown", CBS_DROPDOWN}, {"dropdownlist", CBS_DROPDOWNLIST}, {"sort", CBS_SORT}, {"vscroll", WS_VSCROLL}}},
  };
  return kinds;
}

// Flags that replace the kind's type bits rather than add to them.
bool ReplacesType(ControlKind kind, DWORD flag) {
  switch (kind) {
    case ControlKind::kButton: return flag == BS_DEFPUSHBUTTON;
    case ControlKind::kCheck: return flag == BS_AUTOCHECKBOX;
    case ControlKind::kRadio: return flag == BS_AUTORADIOBUTTON;
    case ControlKind::kStatic: return flag == SS_LEFT || flag == SS_CENTER || flag == SS_RIGHT;
    case ControlKind::kFrame: return flag != SS_SUNKEN;
    case ControlKind::kList: return flag == LVS_ICON || flag == LVS_REPORT || flag == LVS_SMALLICON;
    case ControlKind::kCombo: return flag == CBS_DROPDOWN || flag == CBS_DROPDOWNLIST;
    default: return false;
  }
}

DWORD TypeMask(ControlKind kind) {
  switch (kind) {
    case ControlKind::kButton:
    case ControlKind::kCheck:
    case ControlKind::kRadio: return BS_TYPEMASK;
    case ControlKind::kStatic:
    case ControlKind::kFrame: return SS_TYPEMASK;
    case ControlKind::kList: return LVS_TYPEMASK;
    case ControlKind::kCombo: return 0x3;
    default: return 0;
  }
}

std::string ParseControl(int line, const std::vector<Token>& t, DialogLayout* dialog, std::set<int>* ids) {
  const KindInfo* info = nullptr;
  for (const KindInfo& k : Kinds())
    if (!t[0].quoted && t[0].text == k.name) info = &k;
  if (!info) return "unknown control kind '" + t[0].text + "'";
  if (t.size() < 7) return std::string("a ") + info->name + " needs an id, a text, x, y, width and height";
  ControlLayout c;
  c.kind = info->kind;
  c.line = line;
  if (auto p = Number(t[1], "control id", -1, 65535, true, &c.id); !p.empty()) return p;
  if (c.id != -1 && !ids->insert(c.id).second) return "control id " + std::to_string(c.id) + " twice";
  if (auto p = Quoted(t, 2, "control text", &c.text); !p.empty()) return p;
  if (auto p = Number(t[3], "x", -32768, 32767, false, &c.x); !p.empty()) return p;
  if (auto p = Number(t[4], "y", -32768, 32767, false, &c.y); !p.empty()) return p;
  if (auto p = Number(t[5], "width", 0, 32767, false, &c.w); !p.empty()) return p;
  if (auto p = Number(t[6], "height", 0, 32767, false, &c.h); !p.empty()) return p;
  if (c.kind == ControlKind::kBitmap || c.kind == ControlKind::kIcon) {
    int number = 0;
    Token asNumber{c.text, false};
    if (auto p = Number(asNumber, c.kind == ControlKind::kBitmap ? "bitmap number" : "icon number", 0, 65535, false,
                        &number);
        !p.empty())
      return p;
  }
  DWORD style = WS_CHILD | WS_VISIBLE | info->base;
  for (std::size_t i = 7; i < t.size(); ++i) {
    const std::string& f = t[i].text;
    if (t[i].quoted) return "unexpected text \"" + f + "\"";
    if (f == "hidden") {
      style &= ~DWORD(WS_VISIBLE);
    } else if (f == "disabled") {
      style |= WS_DISABLED;
    } else if (f == "group") {
      style |= WS_GROUP;
    } else if (f == "tabstop") {
      style |= WS_TABSTOP;
    } else if (f == "border") {
      style |= WS_BORDER;
    } else {
      bool found = false;
      for (const auto& [name, bits] : info->flags) {
        if (f != name) continue;
        found = true;
        if (ReplacesType(info->kind, bits))
          style = (style & ~TypeMask(info->kind)) | bits;
        else
          style |= bits;
      }
      if (!found) return "unknown flag '" + f + "' for a " + info->name;
    }
  }
  c.style = style;
  dialog->controls.push_back(std::move(c));
  return {};
}

}  // namespace

const char* ControlKindName(ControlKind kind) {
  for (const KindInfo& k : Kinds())
    if (k.kind == kind) return k.name;
  return "?";
}

const ControlLayout* DialogLayout::Find(int controlId) const {
  for (const ControlLayout& c : controls)
    if (c.id == controlId) return &c;
  return nullptr;
}

bool ParseDialogLayout(std::string_view text, std::string_view file, DialogLayout* out, std::string* error) {
  DialogLayout d;
  bool header = false;
  std::set<int> ids;
  bool ok = ForEachLine(text, file, error, [&](int line, const std::vector<Token>& t) -> std::string {
    if (!header) {
      if (t[0].quoted || t[0].text != "dialog") return "the first line must be the dialog header";
      if (t.size() < 6) return "the header needs an id, a name, a caption, width and height";
      if (auto p = Number(t[1], "dialog id", 1, 65535, true, &d.id); !p.empty()) return p;
      if (t[2].quoted) return "the dialog name must not stand in quotes";
      d.name = t[2].text;
      if (auto p = Quoted(t, 3, "caption", &d.caption); !p.empty()) return p;
      if (auto p = Number(t[4], "width", 0, 32767, false, &d.w); !p.empty()) return p;
      if (auto p = Number(t[5], "height", 0, 32767, false, &d.h); !p.empty()) return p;
      int kinds = 0;
      for (std::size_t i = 6; i < t.size(); ++i) {
        const std::string& s = t[i].text;
        if (t[i].quoted) return "unexpected text \"" + s + "\"";
        if (s == "popup") {
          d.style |= WS_POPUP, ++kinds;
        } else if (s == "child") {
          d.style |= WS_CHILD, ++kinds;
        } else if (s == "caption") {
          d.style |= WS_CAPTION;
        } else if (s == "sysmenu") {
          d.style |= WS_SYSMENU;
        } else if (s == "border") {
          d.style |= WS_BORDER;
        } else if (s == "visible") {
          d.style |= WS_VISIBLE;
        } else if (s == "modalframe") {
          d.style |= DS_MODALFRAME;
        } else if (s == "topmost") {
          d.exStyle |= WS_EX_TOPMOST;
        } else {
          return "unknown dialog style '" + s + "'";
        }
      }
      if (kinds != 1) return "a dialog is either popup or child";
      header = true;
      return {};
    }
    if (!t[0].quoted && t[0].text == "dialog") return "a second dialog header";
    return ParseControl(line, t, &d, &ids);
  });
  if (!ok) return false;
  if (!header) {
    *error = std::string(file) + ":1: no dialog header";
    return false;
  }
  *out = std::move(d);
  return true;
}

namespace {

std::string MenuFlags(const std::vector<Token>& t, std::size_t from, UINT* flags) {
  for (std::size_t i = from; i < t.size(); ++i) {
    if (t[i].quoted) return "unexpected text \"" + t[i].text + "\"";
    if (t[i].text == "checked")
      *flags |= MF_CHECKED;
    else if (t[i].text == "grayed")
      *flags |= MF_GRAYED;
    else if (t[i].text == "disabled")
      *flags |= MF_DISABLED;
    else
      return "unknown menu flag '" + t[i].text + "'";
  }
  return {};
}

}  // namespace

bool ParseMenuLayout(std::string_view text, std::string_view file, MenuLayout* out, std::string* error) {
  MenuLayout m;
  // The open pop-ups, innermost last, with the line that opened each.
  std::vector<std::pair<MenuItemLayout*, int>> open;
  auto target = [&]() -> std::vector<MenuItemLayout>& { return open.empty() ? m.items : open.back().first->items; };
  bool ok = ForEachLine(text, file, error, [&](int line, const std::vector<Token>& t) -> std::string {
    const std::string& word = t[0].text;
    if (t[0].quoted) return "a line must start with popup, item, separator or end";
    if (word == "popup") {
      MenuItemLayout p;
      p.popup = true;
      p.id = static_cast<UINT>(-1);
      if (auto e = Quoted(t, 1, "pop-up text", &p.text); !e.empty()) return e;
      if (auto e = MenuFlags(t, 2, &p.flags); !e.empty()) return e;
      target().push_back(std::move(p));
      open.push_back({&target().back(), line});
      return {};
    }
    if (word == "item") {
      MenuItemLayout item;
      if (t.size() < 3) return "an item needs an id and a text";
      int id = 0;
      if (auto e = Number(t[1], "command id", 0, 65535, true, &id); !e.empty()) return e;
      item.id = static_cast<UINT>(id);
      if (auto e = Quoted(t, 2, "item text", &item.text); !e.empty()) return e;
      if (auto e = MenuFlags(t, 3, &item.flags); !e.empty()) return e;
      target().push_back(std::move(item));
      return {};
    }
    if (word == "separator") {
      if (t.size() > 1) return "text after separator";
      MenuItemLayout s;
      s.separator = true;
      target().push_back(std::move(s));
      return {};
    }
    if (word == "end") {
      if (t.size() > 1) return "text after end";
      if (open.empty()) return "end without a pop-up";
      open.pop_back();
      return {};
    }
    return "unknown menu line '" + word + "'";
  });
  if (!ok) return false;
  if (!open.empty()) {
    *error = std::string(file) + ":" + std::to_string(open.back().second) + ": pop-up \"" +
             open.back().first->text + "\" has no end";
    return false;
  }
  *out = std::move(m);
  return true;
}

namespace {

struct KeyName {
  const char* name;
  WORD vk;
};
const KeyName kKeyNames[] = {
    {"Enter", VK_RETURN}, {"Escape", VK_ESCAPE}, {"Tab", VK_TAB},        {"Space", VK_SPACE},
    {"Delete", VK_DELETE}, {"Insert", VK_INSERT}, {"Home", VK_HOME},      {"End", VK_END},
    {"PageUp", VK_PRIOR},  {"PageDown", VK_NEXT}, {"Left", VK_LEFT},      {"Right", VK_RIGHT},
    {"Up", VK_UP},         {"Down", VK_DOWN},     {"Backspace", VK_BACK}, {"Plus", VK_ADD},
    {"Minus", VK_SUBTRACT},
};

}  // namespace

bool ParseAcceleratorKeys(std::string_view keys, BYTE* fVirt, WORD* key) {
  BYTE mods = FVIRTKEY;
  for (;;) {
    std::size_t plus = keys.find('+');
    // A trailing '+' belongs to no modifier ("Ctrl++" is not a key here).
    if (plus == std::string_view::npos || plus + 1 >= keys.size()) break;
    std::string_view mod = keys.substr(0, plus);
    BYTE bit = EqualsNoCase(mod, "Ctrl") ? FCONTROL : EqualsNoCase(mod, "Shift") ? FSHIFT
                                                  : EqualsNoCase(mod, "Alt")     ? FALT
                                                                                 : 0;
    if (bit == 0 || (mods & bit)) return false;
    mods |= bit;
    keys = keys.substr(plus + 1);
  }
  WORD vk = 0;
  if (keys.size() == 1 && ((keys[0] >= 'A' && keys[0] <= 'Z') || (keys[0] >= 'a' && keys[0] <= 'z'))) {
    vk = static_cast<WORD>(AsciiUpper(keys[0]));
  } else if (keys.size() == 1 && keys[0] >= '0' && keys[0] <= '9') {
    vk = static_cast<WORD>(keys[0]);
  } else if (keys.size() >= 2 && (keys[0] == 'F' || keys[0] == 'f')) {
    int n = 0;
    for (std::size_t i = 1; i < keys.size(); ++i) {
      if (keys[i] < '0' || keys[i] > '9' || n > 24) return false;
      n = n * 10 + (keys[i] - '0');
    }
    if (keys[1] == '0' || n < 1 || n > 24) return false;
    vk = static_cast<WORD>(VK_F1 + n - 1);
  } else {
    for (const KeyName& k : kKeyNames)
      if (EqualsNoCase(keys, k.name)) vk = k.vk;
  }
  if (vk == 0) return false;
  *fVirt = mods;
  *key = vk;
  return true;
}

std::string AcceleratorKeyText(const ACCEL& a) {
  std::string s;
  if (a.fVirt & FCONTROL) s += "Ctrl+";
  if (a.fVirt & FSHIFT) s += "Shift+";
  if (a.fVirt & FALT) s += "Alt+";
  if ((a.key >= 'A' && a.key <= 'Z') || (a.key >= '0' && a.key <= '9')) return s + static_cast<char>(a.key);
  if (a.key >= VK_F1 && a.key <= VK_F24) return s + "F" + std::to_string(a.key - VK_F1 + 1);
  for (const KeyName& k : kKeyNames)
    if (k.vk == a.key) return s + k.name;
  return s + "?";
}

bool ParseAcceleratorLayout(std::string_view text, std::string_view file, std::vector<ACCEL>* out,
                            std::string* error) {
  std::vector<ACCEL> table;
  bool ok = ForEachLine(text, file, error, [&](int, const std::vector<Token>& t) -> std::string {
    if (t.size() != 2 || t[0].quoted) return "a line is <keys> <command id>";
    ACCEL a{};
    if (!ParseAcceleratorKeys(t[0].text, &a.fVirt, &a.key)) return "unknown key '" + t[0].text + "'";
    int id = 0;
    if (auto e = Number(t[1], "command id", 0, 65535, true, &id); !e.empty()) return e;
    a.cmd = static_cast<WORD>(id);
    for (const ACCEL& b : table)
      if (b.fVirt == a.fVirt && b.key == a.key) return "key " + t[0].text + " twice";
    table.push_back(a);
    return {};
  });
  if (!ok) return false;
  *out = std::move(table);
  return true;
}

namespace {

template <class T>
struct Cache {
  std::map<int, std::unique_ptr<T>> parsed;  // null: missing or refused
};

template <class T>
Cache<T>& CacheOf() {
  static Cache<T> cache;
  return cache;
}

template <class T, class Parse>
const T* Find(const char* type, int id, Parse parse) {
  auto& cache = CacheOf<T>();
  auto it = cache.parsed.find(id);
  if (it != cache.parsed.end()) return it->second.get();
  std::unique_ptr<T> result;
  if (id >= 0 && id <= 65535) {
    auto bytes = ResourceBytes(type, static_cast<unsigned>(id));
    if (bytes.data()) {
      std::string file = std::string(type) + "/" + std::to_string(id) + ".txt";
      std::string error;
      auto value = std::make_unique<T>();
      if (parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), file, value.get(),
                &error))
        result = std::move(value);
      else
        CurrentBackend().Log(error);
    }
  }
  const T* p = result.get();
  cache.parsed[id] = std::move(result);
  return p;
}

}  // namespace

const DialogLayout* FindDialogLayout(int id) {
  return Find<DialogLayout>("DIALOG", id, [](std::string_view t, std::string_view f, DialogLayout* o, std::string* e) {
    return ParseDialogLayout(t, f, o, e);
  });
}

const MenuLayout* FindMenuLayout(int id) {
  return Find<MenuLayout>("MENU", id, [](std::string_view t, std::string_view f, MenuLayout* o, std::string* e) {
    return ParseMenuLayout(t, f, o, e);
  });
}

const std::vector<ACCEL>* FindAcceleratorLayout(int id) {
  return Find<std::vector<ACCEL>>(
      "ACCELERATORS", id, [](std::string_view t, std::string_view f, std::vector<ACCEL>* o, std::string* e) {
        return ParseAcceleratorLayout(t, f, o, e);
      });
}

void ForgetParsedLayouts() {
  CacheOf<DialogLayout>().parsed.clear();
  CacheOf<MenuLayout>().parsed.clear();
  CacheOf<std::vector<ACCEL>>().parsed.clear();
}

}  // namespace brv
