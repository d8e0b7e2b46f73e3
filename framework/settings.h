#pragma once
// The program's settings (the launch counter "Settings"/"Count", the recent
// files, ...), kept in $XDG_CONFIG_HOME/brivanta/settings.ini (XDG_CONFIG_HOME
// defaults to ~/.config). Sections and entries as the registry values of the
// Windows program; values of any length and content survive a round trip.
// Names and values are read without the blanks around them; comment lines
// and lines without '=' are written back as they were.
#include <string>
#include <vector>

#include "framework/cstring.h"
#include "framework/wintypes.h"

// The default when the entry is missing or not a number.
UINT GetProfileInt(LPCSTR section, LPCSTR entry, int defaultValue);
BOOL WriteProfileInt(LPCSTR section, LPCSTR entry, int value);
CString GetProfileString(LPCSTR section, LPCSTR entry, LPCSTR defaultValue = nullptr);
// A null value removes the entry; a null entry removes the whole section.
BOOL WriteProfileString(LPCSTR section, LPCSTR entry, LPCSTR value);

// Preferences by one key over the same file: "section:entry" names that
// entry (so "Settings:Count" is the launch counter), a key without ':' an
// entry of the section "Preferences". There is one settings file, so the
// any-application flag names the same place.
// GetPreferenceString copies at most 254 characters and a NUL into value
// (255 bytes); false, value empty, when the key is not set.
bool GetPreferenceString(LPCSTR key, char* value, bool anyApplication = false);
// Stores the value and writes the file at once; false when writing failed.
bool SetPreferenceString(LPCSTR key, LPCSTR value, bool anyApplication = false);

namespace brv {

// The settings file in use.
std::string SettingsPath();

// The file is read once, when a setting is first needed (or its place has
// changed); this drops what was read, so the next lookup reads it again.
void ForgetSettings();

// The recent-file list: section "Recent File List", entries "File1"... in
// order, newest first, at most `size` of them, each a POSIX path, no name
// twice (names compare without regard to ASCII case, as Windows paths do).
class RecentFileList {
 public:
  explicit RecentFileList(int size = 4) : size_(size > 0 ? size : 1) {}
  void ReadList();
  BOOL WriteList() const;
  void Add(const CString& path);
  void Remove(int index);
  int GetSize() const { return size_; }
  int GetCount() const { return static_cast<int>(names_.size()); }
  // The entry at index, empty past the end.
  CString operator[](int index) const;

 private:
  int size_;
  std::vector<CString> names_;
};

}  // namespace brv
