// Local time.

#include <time.h>

#include <windows.h>

// The local time zone of the process (TZ), to the millisecond.
extern "C" void GetLocalTime(LPSYSTEMTIME time) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  time_t seconds = now.tv_sec;
  localtime_r(&seconds, &local);
  time->wYear = static_cast<WORD>(local.tm_year + 1900);
  time->wMonth = static_cast<WORD>(local.tm_mon + 1);
  time->wDayOfWeek = static_cast<WORD>(local.tm_wday);
  time->wDay = static_cast<WORD>(local.tm_mday);
  time->wHour = static_cast<WORD>(local.tm_hour);
  time->wMinute = static_cast<WORD>(local.tm_min);
  time->wSecond = static_cast<WORD>(local.tm_sec > 59 ? 59 : local.tm_sec);  // no leap second
  time->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}
