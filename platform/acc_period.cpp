// The accounting-period calendar: dates, the closing day and the accounting month of a date.
#include "platform/rule.h"

namespace {
bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

// Splits a yyyymmdd date; false when it is no calendar date.
bool SplitDate(std::int32_t date, int* y, int* m, int* d) {
  if (date <= 0) return false;
  *y = date / 10000;
  *m = (date % 10000) / 100;
  *d = date % 100;
  return *y >= 1 && *m >= 1 && *m <= 12 && *d >= 1 && *d <= DaysInMonth(*y, *m);
}
}  // namespace

bool IsCalendarDate(std::int32_t yyyymmdd) {
  int y, m, d;
  return SplitDate(yyyymmdd, &y, &m, &d);
}

ClAccPeriod::~ClAccPeriod() = default;

long ClAccPeriod::SetPeriod(std::int32_t start, std::int32_t end) {
  m_lStart = start;
  m_lEnd = end;
  int y, m, d;
  return SplitDate(start, &y, &m, &d) && SplitDate(end, &y, &m, &d) && start <= end ? 0 : 1;
}

long ClAccPeriod::GetClosingDayByEndDate(std::int32_t end, int, std::int32_t* closing_day) {
  int y, m, d;
  if (closing_day == nullptr) return 1;
  if (!SplitDate(end, &y, &m, &d)) {
    *closing_day = 31;  // books that close at each month end
    return 1;
  }
  *closing_day = d == DaysInMonth(y, m) ? 31 : d;
  return 0;
}

long ClAccPeriod::SetClosingDay(std::int32_t closing_day) {
  if (closing_day < 1 || closing_day > 31) {
    m_nClosingDay = 31;
    return 1;
  }
  m_nClosingDay = closing_day;
  return 0;
}

long ClAccPeriod::GetAMonthByDate(std::int32_t date, std::int32_t* month, int) {
  int y, m, d;
  if (month == nullptr || !SplitDate(date, &y, &m, &d)) return 1;
  *month = d <= m_nClosingDay ? m : m % 12 + 1;
  return 0;
}
