#include "framework/datetime.h"

#include <locale.h>

#include <cstring>
#include <string>

#include "framework/backend.h"

CTime::CTime(int year, int month, int day, int hour, int minute, int second, int isDst) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = isDst;
  m_time = std::mktime(&t);
}

CTime CTime::GetCurrentTime() { return CTime(brv::CurrentBackend().Now()); }

std::tm CTime::Local() const {
  std::tm t{};
  localtime_r(&m_time, &t);
  return t;
}

CString CTime::Format(LPCSTR format) const {
  if (!format || !*format) return CString();
  static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
  std::tm t = Local();
  // strftime gives 0 both for "too small" and for an empty result: grow a few times.
  std::string buffer(64 + 4 * std::strlen(format), '\0');
  for (int attempt = 0; attempt < 6; ++attempt) {
    std::size_t n = strftime_l(buffer.data(), buffer.size(), format, &t, c);
    if (n > 0) return CString(buffer.data(), static_cast<int>(n));
    buffer.resize(buffer.size() * 4);
  }
  return CString();
}
