#include "framework/settings.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <utility>

#include "framework/ascii.h"
#include "framework/paths.h"

namespace {

// One line of the file. Lines the program does not understand (comments,
// lines without '=') are kept as they were; so is an entry until it changes.
struct Line {
  bool entry = false;
  std::string raw;  // as read; empty once the entry changed
  std::string key, value;
};

struct Section {
  bool header = true;  // false: the lines before the first section
  std::string name;
  std::string raw;  // the header line as read
  std::vector<Line> lines;
};

// The file as read once, and the path it was read from.
struct Store {
  bool loaded = false;
  std::string path;
  std::vector<Section> sections;
};

Store& TheStore() {
  static Store store;
  return store;
}

// Names ignore ASCII case, as the registry's do.
bool SameName(std::string_view a, std::string_view b) { return brv::EqualsNoCase(a, b); }

bool Blank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && Blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && Blank(text.back())) text.remove_suffix(1);
  return text;
}

// Characters that would break the line structure are written as \xHH, and
// so is a first '#' or ';' of a line, which would make it a comment, and a
// blank at either end, which reading trims.
std::string Escape(std::string_view text, bool lineStart = false) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    unsigned char u = static_cast<unsigned char>(c);
    const bool comment = lineStart && i == 0 && (c == '#' || c == ';');
    const bool edgeBlank = c == ' ' && (i == 0 || i + 1 == text.size());
    if (comment || edgeBlank || u < 0x20 || u == 0x7F || c == '\\' || c == '=' || c == '[' || c == ']') {
      out += "\\x";
      out += hex[u >> 4];
      out += hex[u & 15];
    } else {
      out += c;
    }
  }
  return out;
}

std::string Unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' && brv::HexDigit(text[i + 2]) >= 0 &&
        brv::HexDigit(text[i + 3]) >= 0) {
      out += static_cast<char>(brv::HexDigit(text[i + 2]) * 16 + brv::HexDigit(text[i + 3]));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string ConfigHome() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return xdg;  // relative values are to be ignored
  const char* home = std::getenv("HOME");
  if (home && *home) return std::string(home) + "/.config";
  if (passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return std::string(pw->pw_dir) + "/.config";
  return "/tmp";
}

std::vector<Section> Parse(std::istream& in) {
  std::vector<Section> s;
  s.push_back({false, {}, {}, {}});
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string_view text = Trim(line);
    if (!text.empty() && text[0] == '[') {
      const std::size_t close = text.find(']');
      if (close != std::string_view::npos) {
        s.push_back({true, Unescape(Trim(text.substr(1, close - 1))), line, {}});
        continue;
      }
    }
    Line l;
    l.raw = line;
    const std::size_t eq = text.find('=');
    if (!text.empty() && text[0] != ';' && text[0] != '#' && eq != std::string_view::npos) {
      l.entry = true;
      l.key = Unescape(Trim(text.substr(0, eq)));
      l.value = Unescape(Trim(text.substr(eq + 1)));
    }
    s.back().lines.push_back(std::move(l));
  }
  return s;
}

// The settings, read from the file the first time they are needed (and
// again only when the settings file's place changes).
std::vector<Section>& Settings() {
  Store& store = TheStore();
  std::string path = brv::SettingsPath();
  if (!store.loaded || store.path != path) {
    std::ifstream in(path, std::ios::binary);
    store.sections = Parse(in);
    store.path = std::move(path);
    store.loaded = true;
  }
  return store.sections;
}

void MakeFolders(const std::string& path) {
  for (std::size_t p = path.find('/', 1); p != std::string::npos; p = path.find('/', p + 1))
    ::mkdir(path.substr(0, p).c_str(), 0700);
}

// Written to a temporary file and renamed over the old one, so a failed
// write never leaves half a settings file.
bool Save() {
  const std::vector<Section>& s = Settings();
  const std::string& path = TheStore().path;
  MakeFolders(path);
  std::string text;
  for (const Section& section : s) {
    if (section.header) {
      text += section.raw.empty() ? "[" + Escape(section.name) + "]" : section.raw;
      text += '\n';
    }
    for (const Line& l : section.lines) {
      text += l.raw.empty() && l.entry ? Escape(l.key, true) + "=" + Escape(l.value) : l.raw;
      text += '\n';
    }
  }
  const std::string temp = path + ".new";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
      std::remove(temp.c_str());
      return false;
    }
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

const std::string* Find(std::string_view section, std::string_view entry) {
  for (const Section& sec : Settings())
    if (sec.header && SameName(sec.name, section))
      for (const Line& l : sec.lines)
        if (l.entry && SameName(l.key, entry)) return &l.value;
  return nullptr;
}

// Changes the store without writing it; false when nothing changed.
bool Change(std::string_view section, LPCSTR entry, LPCSTR value) {
  std::vector<Section>& s = Settings();
  Section* target = nullptr;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (!s[i].header || !SameName(s[i].name, section)) continue;
    if (!entry) {
      s.erase(s.begin() + static_cast<std::ptrdiff_t>(i));
      return true;
    }
    target = &s[i];
    break;
  }
  if (!entry) return false;
  if (!target) {
    if (!value) return false;
    s.push_back({true, std::string(section), {}, {}});
    target = &s.back();
  }
  auto& lines = target->lines;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!lines[i].entry || !SameName(lines[i].key, entry)) continue;
    if (!value) {
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
    } else if (lines[i].value != value) {
      lines[i].value = value;
      lines[i].raw.clear();
    }
    return true;
  }
  if (!value) return false;
  // after the section's last entry, so comments at its end stay there
  std::size_t at = lines.size();
  while (at > 0 && !lines[at - 1].entry) --at;
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), Line{true, {}, entry, value});
  return true;
}

}  // namespace

namespace brv {

std::string SettingsPath() { return ConfigHome() + "/brivanta/settings.ini"; }

void ForgetSettings() { TheStore() = Store(); }

}  // namespace brv

UINT GetProfileInt(LPCSTR section, LPCSTR entry, int defaultValue) {
  if (!section || !entry) return static_cast<UINT>(defaultValue);
  const std::string* value = Find(section, entry);
  if (!value) return static_cast<UINT>(defaultValue);
  long long v = 0;
  const char* first = value->data();
  const char* last = first + value->size();
  auto [end, error] = std::from_chars(first, last, v);  // locale-free
  if (error != std::errc() || end != last || v < INT32_MIN || v > UINT32_MAX)
    return static_cast<UINT>(defaultValue);
  return static_cast<UINT>(v);
}

BOOL WriteProfileInt(LPCSTR section, LPCSTR entry, int value) {
  return WriteProfileString(section, entry, std::to_string(value).c_str());
}

CString GetProfileString(LPCSTR section, LPCSTR entry, LPCSTR defaultValue) {
  if (section && entry)
    if (const std::string* value = Find(section, entry)) return CString(std::string_view(*value));
  return defaultValue ? CString(std::string_view(defaultValue)) : CString();
}

BOOL WriteProfileString(LPCSTR section, LPCSTR entry, LPCSTR value) {
  if (!section) return FALSE;
  return Change(section, entry, value) ? Save() : TRUE;
}

namespace {

constexpr std::size_t kPreferenceRoom = 255;

std::pair<std::string, std::string> PreferencePlace(std::string_view key) {
  const std::size_t colon = key.find(':');
  if (colon == std::string_view::npos) return {"Preferences", std::string(key)};
  return {std::string(key.substr(0, colon)), std::string(key.substr(colon + 1))};
}

}  // namespace

bool GetPreferenceString(LPCSTR key, char* value, bool) {
  if (value) value[0] = '\0';
  if (!key) return false;
  const auto [section, entry] = PreferencePlace(key);
  const std::string* found = Find(section, entry);
  if (!found) return false;
  if (value) {
    const std::size_t n = std::min(found->size(), kPreferenceRoom - 1);
    std::memcpy(value, found->data(), n);
    value[n] = '\0';
  }
  return true;
}

bool SetPreferenceString(LPCSTR key, LPCSTR value, bool) {
  if (!key) return false;
  const auto [section, entry] = PreferencePlace(key);
  return WriteProfileString(section.c_str(), entry.c_str(), value ? value : "") != FALSE;
}

namespace brv {

namespace {
constexpr const char* kRecentSection = "Recent File List";
}

void RecentFileList::ReadList() {
  names_.clear();
  for (int i = 0; i < size_; ++i) {
    CString name = GetProfileString(kRecentSection, ("File" + std::to_string(i + 1)).c_str());
    if (name.IsEmpty()) continue;
    // older lists may hold a file twice, in Windows and in POSIX form
    name = CString(std::string_view(PosixPath(name.View())));
    bool twice = false;
    for (const CString& n : names_) twice = twice || n.CompareNoCase(name) == 0;
    if (!twice) names_.push_back(name);
  }
}

BOOL RecentFileList::WriteList() const {
  // the whole list in one write of the file
  Change(kRecentSection, nullptr, nullptr);
  for (std::size_t i = 0; i < names_.size(); ++i)
    Change(kRecentSection, ("File" + std::to_string(i + 1)).c_str(), names_[i]);
  return Save();
}

void RecentFileList::Add(const CString& given) {
  if (given.IsEmpty()) return;
  const CString path(std::string_view(PosixPath(given.View())));
  for (std::size_t i = 0; i < names_.size(); ++i) {
    if (names_[i].CompareNoCase(path) == 0) {
      names_.erase(names_.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  }
  names_.insert(names_.begin(), path);
  if (static_cast<int>(names_.size()) > size_) names_.resize(static_cast<std::size_t>(size_));
}

void RecentFileList::Remove(int index) {
  if (index >= 0 && index < GetCount()) names_.erase(names_.begin() + index);
}

CString RecentFileList::operator[](int index) const {
  return index >= 0 && index < GetCount() ? names_[static_cast<std::size_t>(index)] : CString();
}

}  // namespace brv
