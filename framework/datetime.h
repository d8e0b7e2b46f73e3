#pragma once
// CTime: a point in time in whole seconds, shown in local time.
#include <ctime>

#include "framework/cstring.h"

class CTime {
 public:
  CTime() = default;
  explicit CTime(std::time_t t) : m_time(t) {}
  // Local date and time; isDst -1 lets the system decide.
  CTime(int year, int month, int day, int hour, int minute, int second, int isDst = -1);

  // Now, by the backend's clock.
  static CTime GetCurrentTime();

  std::time_t GetTime() const { return m_time; }
  int GetYear() const { return Local().tm_year + 1900; }
  int GetMonth() const { return Local().tm_mon + 1; }
  int GetDay() const { return Local().tm_mday; }
  int GetHour() const { return Local().tm_hour; }
  int GetMinute() const { return Local().tm_min; }
  int GetSecond() const { return Local().tm_sec; }
  // 1 = Sunday ... 7 = Saturday.
  int GetDayOfWeek() const { return Local().tm_wday + 1; }

  // strftime codes ("%d.%m.%Y  -  %H:%M"), names in the C locale.
  CString Format(LPCSTR format) const;

  bool operator==(const CTime& o) const { return m_time == o.m_time; }

 private:
  std::tm Local() const;
  std::time_t m_time = 0;
};
