// The month numbering of the accounting period and the month conditions handed to the aggregation rule.
//
// c, the first month: the calendar month (1..12) of the period's first accounting month.
// L, the last-month code: the calendar month of the period's last day, plus 100 when it is smaller than
// c (the period runs into the next calendar year). g = L % 100 is the last calendar month; the period
// spans two calendar years when L / 100 is not 0.
// Period months count 1..12 from the period's first month; they are the month codes 1..12 of the
// condition list, with 15 for the interim and 18 for the year-end closing adjustments.
#pragma once

#include <cstdint>

#include "platform/records.h"
#include "platform/rule.h"

// c and L of the period from first_day to last_day (yyyymmdd). c comes from the platform's calendar
// (ClAccPeriod); when no period object can be made, c is the first day's calendar month. Outputs that are
// null are not written.
void GetPeriodMonths(std::int32_t first_day, std::int32_t last_day, std::int16_t* first_month,
                     std::int16_t* last_code);

// The period month of a month-from and of a month-to (calendar months) for the given c and L.
std::int16_t PeriodMonthOfFrom(std::int16_t month_from, std::int16_t first_month);
std::int16_t PeriodMonthOfTo(std::int16_t month_to, std::int16_t first_month, std::int16_t last_code);

// The month range rule, as the conditions dialog applies it when the user executes:
//   bool CheckMonthRange(month_from, month_to, period_start, period_end)
// month_from and month_to are the months as typed (decimal text read as integers, 0 for no number);
// period_start and period_end the company's period (yyyymmdd). true: the range is valid. In effect, for
// the month-from c: within one calendar year c <= month_to <= g, across two calendar years month_to >= c
// or month_to <= g; a month_to outside 1..12 is always invalid.
bool CheckMonthRange(std::int32_t month_from, std::int32_t month_to, std::int32_t period_start,
                     std::int32_t period_end);
// The same rule for a known c and L.
bool CheckMonthRangeOf(std::int32_t month_from, std::int32_t month_to, std::int16_t first_month,
                       std::int16_t last_code);

// Fills the list of four conditions (zero-filled by the caller) for the range month_from..month_to
// (calendar months) of the company's period: month code at least f and at most l; "or equal to 15" when
// PeriodOption is 1 and l is 6; "or equal to 18" when month_to is the period's last month. Conditions
// not needed stay zero.
void MakeSumConditions(StFINDINFO* conditions, const StDATAINFO* data, std::int16_t month_from,
                       std::int16_t month_to);
// The same for a known c, L and PeriodOption.
void MakeSumConditionsOf(StFINDINFO* conditions, std::int16_t first_month, std::int16_t last_code,
                         std::int32_t period_option, std::int16_t month_from, std::int16_t month_to);
