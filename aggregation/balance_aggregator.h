// The balance aggregation: walks the rows of the platform's account aggregation rule, computes each
// account's balance at the end of the chosen month on its own balance side, drops the accounts the report
// must not list, and appends one StZANDAKAINFO per listed account to the result list.
//
// Calling order: construct; set m_pProgress and m_pRows; Aggregate once; destroy. The overall progress
// goes to 100 at the start, 300 once the rule exists, 400 once the rows are counted and 500 after the last
// row; every row read pulses it. A failure leaves it where it stood.
#pragma once

#include <cstdint>
#include <string>

#include "aggregation/progress.h"
#include "aggregation/zandaka.h"
#include "platform/records.h"
#include "platform/rule.h"

// Result codes of the row loop besides the rule's own.
inline constexpr long kAggregateNoMemory = -1001;  // a row could not be allocated
inline constexpr long kAggregateOverflow = -1002;  // a guarded sum reached 10^18 units

class ClBalanceAggregator {
 public:
  ClBalanceAggregator() = default;
  // Deletes m_pRule when the aggregation left it (after a failure).
  virtual ~ClBalanceAggregator();
  ClBalanceAggregator(const ClBalanceAggregator&) = delete;
  ClBalanceAggregator& operator=(const ClBalanceAggregator&) = delete;

  // Runs the whole aggregation: 1 on success (the rule's normal end), 0 on failure. tax_mode 1 takes the
  // totals including consumption tax, any other value those excluding it; conditions is the list of four
  // of MakeSumConditions, handed to the rule unchanged; of data only PeriodOption is read. Rows appended
  // before a failure stay in the list. 0 also without a result list, conditions or company record.
  int Aggregate(std::int32_t tax_mode, const StFINDINFO* conditions, const StDATAINFO* data);

  // The account master's ListFlag of the account, sign-extended; -1 when the master has no such account.
  // A master that cannot be read (an answer other than found or not found) also gives -1, and its answer
  // is kept in m_lMasterError (its line in m_strFailure): the aggregation then fails rather than leave
  // the account out unseen.
  std::int16_t LookupListFlag(std::int32_t account_id);

  // The balance of one row in 1/10000 yen, positive on the account's own side: the opening slots before
  // period month f, the slots f to l, the year-end adjustments (slot 13) when a condition after the
  // second asks for month code 18, and the interim adjustments (slot 14) when PeriodOption is 1 and l is
  // 6. false when the guarded sum overflows.
  static bool ComputeBalance(const StKAMOKUSUMINFO& row, std::int32_t tax_mode, const StFINDINFO* conditions,
                             const StDATAINFO& data, std::int64_t* balance);
  // The listing rule: both exclusion flags clear, attributes bits 27 and 28 clear, and the account
  // master's ListFlag 0 or 1 (tested in that order; the master is asked only when the others pass).
  bool IsListed(const StKAMOKUSUMINFO& row);
  // The row's name cut to at most 16 bytes without splitting a double-byte character; always
  // NUL-terminated.
  static void CutName(const char* name, char (&out)[17]);

  ClProgress* m_pProgress = nullptr;  // not owned
  ClZandakaList* m_pRows = nullptr;   // not owned
  ClRuleKamoku* m_pRule = nullptr;    // owned
  long m_lMasterError = 0;            // the first failed account master lookup's answer
  // After a failed aggregation, one line saying why: the host database's line handed back by the
  // platform call that failed, or the account whose balance does not fit; empty when neither named one.
  std::string m_strFailure;

 private:
  bool m_bAggregated = false;  // Aggregate has run (it runs once; asserted in Debug builds)
  void Advance(std::int16_t from, std::int16_t to);
  long AppendRow(const StKAMOKUSUMINFO& row, std::int64_t balance);
};
