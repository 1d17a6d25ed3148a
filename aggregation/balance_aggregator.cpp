#include "aggregation/balance_aggregator.h"

#include <cassert>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "aggregation/amount.h"
#include "win32/mbcs.h"

namespace {
constexpr int kSlots = 15;
constexpr int kSlotYearEnd = 13;
constexpr int kSlotInterim = 14;
constexpr std::int32_t kAttributesNotListed = 0x18000000;
constexpr std::int16_t kMonthCodeYearEnd = 18;

// One slot of the debit or credit totals of the chosen tax mode. (The record is packed: its members are
// read directly, never through references to them.)
std::int64_t Slot(const StKAMOKUSUMINFO& row, bool in_tax, bool debit, int i) {
  if (debit) return in_tax ? row.DebitInTax[i] : row.DebitExTax[i];
  return in_tax ? row.CreditInTax[i] : row.CreditExTax[i];
}

// Adds the slots first..last, skipping any slot the arrays do not have.
void AddSlots(ClAmount* sum, const StKAMOKUSUMINFO& row, bool in_tax, bool debit, int first, int last) {
  for (int i = first; i <= last; ++i)
    if (i >= 0 && i < kSlots) *sum += ClAmount(Slot(row, in_tax, debit, i));
}
}  // namespace

ClBalanceAggregator::~ClBalanceAggregator() { delete m_pRule; }

void ClBalanceAggregator::Advance(std::int16_t from, std::int16_t to) {
  assert(from < to && "the overall progress only moves forward");
  if (m_pProgress != nullptr) m_pProgress->Advance(from, to);
}

bool ClBalanceAggregator::ComputeBalance(const StKAMOKUSUMINFO& row, std::int32_t tax_mode,
                                         const StFINDINFO* conditions, const StDATAINFO& data,
                                         std::int64_t* balance) {
  const bool in_tax = tax_mode == 1;
  const bool debit_side = row.BalanceSide == 1;
  const int f = FindValue16(conditions[0]);
  const int l = FindValue16(conditions[1]);

  ClAmount d0, c0;
  AddSlots(&d0, row, in_tax, true, 0, f - 1);
  AddSlots(&c0, row, in_tax, false, 0, f - 1);
  const ClAmount opening = debit_side ? d0 - c0 : c0 - d0;

  ClAmount dm, cm;
  // The year-end adjustments belong to a range that ends with the period's last month. The list asks for
  // them with a condition after the second: the third, or the fourth when the interim one comes first.
  bool year_end = false;
  if (conditions[1].Link != kFindLinkEnd) {
    for (int i = 2; i < ClRuleKamoku::kMaxConditions; ++i) {
      if (FindValue16(conditions[i]) == kMonthCodeYearEnd) year_end = true;
      if (conditions[i].Link == kFindLinkEnd) break;
    }
  }
  if (year_end) {
    dm = ClAmount(Slot(row, in_tax, true, kSlotYearEnd));
    cm = ClAmount(Slot(row, in_tax, false, kSlotYearEnd));
  }
  AddSlots(&dm, row, in_tax, true, f, l);
  AddSlots(&cm, row, in_tax, false, f, l);
  if (data.PeriodOption == 1 && l == 6) {
    dm += ClAmount(Slot(row, in_tax, true, kSlotInterim));
    cm += ClAmount(Slot(row, in_tax, false, kSlotInterim));
  }

  ClAmount sum;
  if (!opening.GuardedSum(debit_side ? dm : cm, &sum)) return false;
  *balance = (sum - (debit_side ? cm : dm)).ToUnits();
  return true;
}

std::int16_t ClBalanceAggregator::LookupListFlag(std::int32_t account_id) {
  auto* master = static_cast<ClSetKamoku*>(ClDataMgr::Inst()->GetSetObject(1, 1));
  if (master == nullptr) return -1;
  StFINDINFO cond;
  std::memset(&cond, 0, sizeof cond);
  cond.FieldNo = kFindFieldAccountId;
  cond.Operator = kFindOpEqual;
  SetFindValue32(&cond, account_id);
  cond.Link = kFindLinkEnd;
  StKAMOKUINFO info;
  std::memset(&info, 0, sizeof info);
  long cursor = 0;
  master->GetCursor(&cursor);
  master->ReadyCursor(cursor);
  std::string why;
  const long found = master->WalkFind(&cond, &info, cursor, &why);
  const bool unreadable = found != 0 && found != kPlatformEnd;
  if (unreadable && m_lMasterError == 0) {
    m_lMasterError = found;
    m_strFailure = std::move(why);
  }
  if (unreadable || info.AccountId != account_id) {
    std::memset(&info, 0, sizeof info);
    info.ListFlag = -1;
  }
  master->ReleaseCursor(cursor);
  return info.ListFlag;
}

bool ClBalanceAggregator::IsListed(const StKAMOKUSUMINFO& row) {
  if (row.ExcludeFlag1 != 0) return false;
  if (row.ExcludeFlag2 != 0) return false;
  if ((row.Attributes & kAttributesNotListed) != 0) return false;
  const std::int16_t flag = LookupListFlag(row.AccountId);
  return flag == 0 || flag == 1;
}

void ClBalanceAggregator::CutName(const char* name, char (&out)[17]) {
  std::memset(out, 0, sizeof out);
  win32::MbsnbCpy(out, name, 16);
}

long ClBalanceAggregator::AppendRow(const StKAMOKUSUMINFO& row, std::int64_t balance) {
  auto* z = new (std::nothrow) StZANDAKAINFO();
  if (z == nullptr) return kAggregateNoMemory;
  z->AccountId = row.AccountId;
  CutName(row.Name, z->Name);
  z->HasSubAccounts = row.HasSubAccounts;
  z->Balance = balance;
  try {
    m_pRows->push_back(z);
  } catch (const std::bad_alloc&) {
    delete z;
    return kAggregateNoMemory;
  }
  return 0;
}

int ClBalanceAggregator::Aggregate(std::int32_t tax_mode, const StFINDINFO* conditions,
                                   const StDATAINFO* data) {
  assert(!m_bAggregated && "Aggregate runs once per aggregator");
  m_bAggregated = true;
  if (m_pRows == nullptr || conditions == nullptr || data == nullptr) return 0;
  Advance(0, 100);
  if (m_pRule == nullptr) {
    m_pRule = ClRuleKamoku::Create();
    if (m_pRule == nullptr) return 0;
    ClDataMgr* mgr = ClDataMgr::Inst();
    m_pRule->AttachSetMgr(mgr->GetSetMgr());
    auto* data_set = static_cast<ClSetData*>(mgr->GetSetObject(5, 1));
    m_pRule->SetCurDataID(reinterpret_cast<const char*>(data_set->GetSelectedInfo()));
    m_pRule->AttachOptLink(ClLinkMgr::Inst()->GetOptLink());
  }
  Advance(100, 300);
  m_pRule->MoveReady(ClRuleKamoku::SumBase_Kamoku, ClRuleKamoku::SumBmn_None, ClRuleKamoku::SumDisp_Normal,
                     conditions, nullptr, ClRuleKamoku::SumPast_None);
  std::uint32_t count = 0;
  if (m_pRule->GetSumCount(&count, &m_strFailure) != 0) return 0;
  Advance(300, 400);
  if (m_pRule->SetMovePos(0, &m_strFailure) != 0) return 0;

  long result = 0;
  StKAMOKUSUMINFO row;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (m_pProgress != nullptr) m_pProgress->Pulse();
    std::memset(&row, 0, sizeof row);
    result = m_pRule->MoveNext(&row, &m_strFailure);
    if (result != 0) break;
    std::int64_t balance = 0;
    if (!ComputeBalance(row, tax_mode, conditions, *data, &balance)) {
      m_strFailure = "the balance of account_id " + std::to_string(row.AccountId) + " (account " +
                     std::to_string(row.AccountId / 10000) + ", sub-account " +
                     std::to_string(row.AccountId % 10000) +
                     ") does not fit: a sum of its totals reaches 10^14 yen";
      result = kAggregateOverflow;
      break;
    }
    const bool listed = IsListed(row);
    if (m_lMasterError != 0) {
      result = m_lMasterError;
      break;
    }
    if (!listed) continue;
    result = AppendRow(row, balance);
    if (result != 0) break;
  }
  if (result != 0 && result != kPlatformEnd) return 0;

  Advance(400, 500);
  m_pRule->MoveFinish();
  delete m_pRule;
  m_pRule = nullptr;
  return 1;
}
