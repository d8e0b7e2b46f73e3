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

namespace {

struct Section {
  std::string name;
  std::vector<std::pair<std::string, std::string>> entries;
};
using Settings = std::vector<Section>;

// Names ignore ASCII case, as the registry's do.
bool SameName(std::string_view a, std::string_view b) { return brv::EqualsNoCase(a, b); }

// Characters that would break the line structure are written as \xHH, and
// so is a first '#' or ';' of a line, which would make it a comment.
std::string Escape(std::string_view text, bool lineStart = false) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    const bool comment = lineStart && out.empty() && (c == '#' || c == ';');
    if (comment || u < 0x20 || u == 0x7F || c == '\\' || c == '=' || c == '[' || c == ']') {
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

Settings Load() {
  Settings s;
  std::ifstream in(brv::SettingsPath(), std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      std::size_t close = line.find(']');
      if (close == std::string::npos) continue;
      s.push_back({Unescape(std::string_view(line).substr(1, close - 1)), {}});
      continue;
    }
    std::size_t eq = line.find('=');
    if (eq == std::string::npos || s.empty()) continue;
    s.back().entries.emplace_back(Unescape(std::string_view(line).substr(0, eq)),
                                  Unescape(std::string_view(line).substr(eq + 1)));
  }
  return s;
}

void MakeFolders(const std::string& path) {
  for (std::size_t p = path.find('/', 1); p != std::string::npos; p = path.find('/', p + 1))
    ::mkdir(path.substr(0, p).c_str(), 0700);
}

// Written to a temporary file and renamed over the old one, so a failed
// write never leaves half a settings file.
bool Save(const Settings& s) {
  const std::string path = brv::SettingsPath();
  MakeFolders(path);
  std::ostringstream text;
  for (const Section& section : s) {
    text << '[' << Escape(section.name) << "]\n";
    for (const auto& [key, value] : section.entries) text << Escape(key, true) << '=' << Escape(value) << '\n';
  }
  const std::string temp = path + ".new";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << text.str();
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

const std::string* Find(const Settings& s, std::string_view section, std::string_view entry) {
  for (const Section& sec : s)
    if (SameName(sec.name, section))
      for (const auto& [key, value] : sec.entries)
        if (SameName(key, entry)) return &value;
  return nullptr;
}

}  // namespace

namespace brv {

std::string SettingsPath() { return ConfigHome() + "/brivanta/settings.ini"; }

}  // namespace brv

UINT GetProfileInt(LPCSTR section, LPCSTR entry, int defaultValue) {
  if (!section || !entry) return static_cast<UINT>(defaultValue);
  const Settings s = Load();
  const std::string* value = Find(s, section, entry);
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
  if (section && entry) {
    const Settings s = Load();
    if (const std::string* value = Find(s, section, entry)) return CString(std::string_view(*value));
  }
  return defaultValue ? CString(std::string_view(defaultValue)) : CString();
}

BOOL WriteProfileString(LPCSTR section, LPCSTR entry, LPCSTR value) {
  if (!section) return FALSE;
  Settings s = Load();
  Section* target = nullptr;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (!SameName(s[i].name, section)) continue;
    if (!entry) {
      s.erase(s.begin() + static_cast<std::ptrdiff_t>(i));
      return Save(s);
    }
    target = &s[i];
    break;
  }
  if (!entry) return TRUE;
  if (!target) {
    if (!value) return TRUE;
    s.push_back({section, {}});
    target = &s.back();
  }
  auto& entries = target->entries;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!SameName(entries[i].first, entry)) continue;
    if (value)
      entries[i].second = value;
    else
      entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i));
    return Save(s);
  }
  if (value) entries.emplace_back(entry, value);
  return Save(s);
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
  const Settings s = Load();
  const std::string* found = Find(s, section, entry);
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
    if (!name.IsEmpty()) names_.push_back(name);
  }
}

BOOL RecentFileList::WriteList() const {
  BOOL ok = WriteProfileString(kRecentSection, nullptr, nullptr);
  for (std::size_t i = 0; i < names_.size(); ++i)
    ok = WriteProfileString(kRecentSection, ("File" + std::to_string(i + 1)).c_str(), names_[i]) && ok;
  return ok;
}

void RecentFileList::Add(const CString& path) {
  if (path.IsEmpty()) return;
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
