#include "aggregation/period.h"

void GetPeriodMonths(std::int32_t first_day, std::int32_t last_day, std::int16_t* first_month,
                     std::int16_t* last_code) {
  // The first day's calendar month stands when the platform gives no answer.
  std::int32_t month = (first_day % 10000) / 100;
  if (ClAccPeriod* period = ClAccPeriod::Create()) {
    period->SetPeriod(first_day, last_day);
    std::int32_t closing_day = 0;
    period->GetClosingDayByEndDate(last_day, 0, &closing_day);
    period->SetClosingDay(closing_day);
    period->GetAMonthByDate(first_day, &month, 0);
    delete period;
  }
  const auto c = static_cast<std::int16_t>(month);
  auto l = static_cast<std::int16_t>((last_day % 10000) / 100);
  if (l < c) l = static_cast<std::int16_t>(l + 100);
  if (first_month != nullptr) *first_month = c;
  if (last_code != nullptr) *last_code = l;
}

std::int16_t PeriodMonthOfFrom(std::int16_t m, std::int16_t c) {
  if (m == c) return 1;
  return static_cast<std::int16_t>(m > c ? m - c + 1 : m - c + 13);
}

std::int16_t PeriodMonthOfTo(std::int16_t t, std::int16_t c, std::int16_t last_code) {
  const int g = last_code % 100;
  const bool spans = last_code / 100 != 0;
  if (t <= g) return static_cast<std::int16_t>(spans ? t - c + 13 : t - c + 1);
  return static_cast<std::int16_t>(t - c + 1);
}

bool CheckMonthRangeOf(std::int32_t from, std::int32_t to, std::int16_t c, std::int16_t last_code) {
  const bool spans = last_code >= 100;
  const std::int32_t g = spans ? last_code - 100 : last_code;
  if (to < 1 || to > 12) return false;
  if (!spans) return !(from < c || to > g || from > to);
  if (1 <= from && from <= g && (from > to || to > g)) return false;
  if (g < from && from < c) return false;
  if (g < to && to < c) return false;
  return true;
}

bool CheckMonthRange(std::int32_t from, std::int32_t to, std::int32_t period_start, std::int32_t period_end) {
  std::int16_t c = 0;
  std::int16_t l = 0;
  GetPeriodMonths(period_start, period_end, &c, &l);
  return CheckMonthRangeOf(from, to, c, l);
}

namespace {
void SetMonthCondition(StFINDINFO* cond, std::int16_t op, std::int16_t value, std::int16_t link) {
  cond->FieldNo = kFindFieldMonthCode;
  cond->Operator = op;
  SetFindValue16(cond, value);
  cond->Link = link;
}
}  // namespace

void MakeSumConditionsOf(StFINDINFO* conditions, std::int16_t c, std::int16_t last_code,
                         std::int32_t period_option, std::int16_t month_from, std::int16_t month_to) {
  const std::int16_t f = PeriodMonthOfFrom(month_from, c);
  const std::int16_t l = PeriodMonthOfTo(month_to, c, last_code);
  SetMonthCondition(&conditions[0], kFindOpAtLeast, f, kFindLinkAnd);
  SetMonthCondition(&conditions[1], kFindOpAtMost, l, kFindLinkEnd);
  int n = 2;
  if (period_option == 1 && l == 6) {
    conditions[n - 1].Link = kFindLinkOr;
    SetMonthCondition(&conditions[n++], kFindOpEqual, 15, kFindLinkEnd);
  }
  if (month_to == last_code % 100) {
    conditions[n - 1].Link = kFindLinkOr;
    SetMonthCondition(&conditions[n++], kFindOpEqual, 18, kFindLinkEnd);
  }
}

void MakeSumConditions(StFINDINFO* conditions, const StDATAINFO* data, std::int16_t month_from,
                       std::int16_t month_to) {
  std::int16_t c = 0;
  std::int16_t l = 0;
  GetPeriodMonths(data->PeriodStart, data->PeriodEnd, &c, &l);
  MakeSumConditionsOf(conditions, c, l, data->PeriodOption, month_from, month_to);
}
