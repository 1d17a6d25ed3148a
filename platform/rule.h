// More of the accounting platform (see platform.h): the search condition, the account master set, the
// account aggregation rule and the accounting-period calendar, with the records they exchange.
//
// Results follow the platform's habit: 0 for success, anything else for failure. A walk or a move that
// has nothing more to deliver answers kPlatformEnd (5000). Objects the program creates (ClRuleKamoku,
// ClAccPeriod) come from their Create() factory, which answers null when the platform cannot make one;
// the set objects belong to the platform (ClDataMgr::GetSetObject). What needs no database (the search
// condition's value, the period calendar's arithmetic) is implemented beside these declarations; the rest
// over the host database (tables `accounts` and `totals`) is in host/, a file per class.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

// Answer of a walk or a move when no record is left (a normal end, not a failure).
inline constexpr long kPlatformEnd = 5000;
// Failures of the aggregation rule and the account master.
inline constexpr long kPlatformNotReady = 9001;   // MoveReady was not called, or the condition list is bad
inline constexpr long kPlatformNoCompany = 9002;  // the data-ID text names no company
inline constexpr long kPlatformDbError = 9003;    // a table is missing or the database cannot be read
inline constexpr long kPlatformBadText = 9004;    // a text column holds no valid code page 932 text
inline constexpr long kPlatformBadCursor = 9005;  // a cursor number that is not open
inline constexpr long kPlatformBadValue = 9006;   // a number that does not fit its field or its meaning

#pragma pack(push, 1)

// One search condition, 34 bytes. A condition list is an array of these, zero-filled before use; the
// list ends at the first condition whose Link is 0.
struct StFINDINFO {
  std::int32_t FieldNo;  // 2: account identifier (account master); 17: month code (aggregation rule)
  std::int16_t reserved1;
  std::int16_t Operator;  // 1: equal to, 4: at least, 6: at most
  std::int16_t reserved2;
  std::int16_t ValueType;  // 2: 16-bit value, 3: 32-bit value
  std::uint8_t reserved3[6];
  std::uint8_t Value[4];  // 16 or 32 bits by ValueType (little-endian); read through the helpers below
  std::uint8_t reserved4[8];
  std::int16_t Link;  // relation to the next condition: 0 last, 1 and, 2 or
  std::uint8_t reserved5[2];
};

// One aggregated account row, 636 bytes, as ClRuleKamoku::MoveNext delivers it. Every offset of the
// record is fixed; the four total arrays are the platform's documented ones (152, 272, 392, 512) and
// leave 4 reserved bytes at the end.
struct StKAMOKUSUMINFO {
  std::uint8_t reserved1[32];
  std::int32_t AccountId;  // account code x 10000 + sub-account code
  std::uint8_t reserved2[33];
  char Name[57];  // NUL-terminated code page 932 (at most 56 bytes)
  std::uint8_t ExcludeFlag1;
  std::uint8_t ExcludeFlag2;
  std::uint8_t reserved3;
  std::uint8_t HasSubAccounts;  // non-zero on a main account whose sub-account rows follow it
  std::uint8_t BalanceSide;     // 1: debit-balance account; other: credit-balance account
  std::uint8_t reserved4[5];
  std::int32_t Attributes;
  std::uint8_t reserved5[12];
  // Slots: 0 brought forward, 1..12 period months, 13 year-end adjustments, 14 interim adjustments.
  std::int64_t DebitExTax[15];
  std::int64_t DebitInTax[15];
  std::int64_t CreditExTax[15];
  std::int64_t CreditInTax[15];
  std::uint8_t reserved6[4];
};

// One account master entry, 221 bytes.
struct StKAMOKUINFO {
  std::uint8_t reserved1[16];
  std::int32_t AccountId;
  std::uint8_t reserved2[92];
  std::int8_t ListFlag;  // the account's rows are listed only when this is 0 or 1
  std::uint8_t reserved3[108];
};

#pragma pack(pop)

static_assert(sizeof(StFINDINFO) == 34);
static_assert(offsetof(StFINDINFO, Operator) == 6);
static_assert(offsetof(StFINDINFO, ValueType) == 10);
static_assert(offsetof(StFINDINFO, Value) == 18);
static_assert(offsetof(StFINDINFO, Link) == 30);

static_assert(sizeof(StKAMOKUSUMINFO) == 636);
static_assert(offsetof(StKAMOKUSUMINFO, AccountId) == 32);
static_assert(offsetof(StKAMOKUSUMINFO, Name) == 69);
static_assert(offsetof(StKAMOKUSUMINFO, ExcludeFlag1) == 126);
static_assert(offsetof(StKAMOKUSUMINFO, ExcludeFlag2) == 127);
static_assert(offsetof(StKAMOKUSUMINFO, HasSubAccounts) == 129);
static_assert(offsetof(StKAMOKUSUMINFO, BalanceSide) == 130);
static_assert(offsetof(StKAMOKUSUMINFO, Attributes) == 136);
static_assert(offsetof(StKAMOKUSUMINFO, DebitExTax) == 152);
static_assert(offsetof(StKAMOKUSUMINFO, DebitInTax) == 272);
static_assert(offsetof(StKAMOKUSUMINFO, CreditExTax) == 392);
static_assert(offsetof(StKAMOKUSUMINFO, CreditInTax) == 512);

static_assert(sizeof(StKAMOKUINFO) == 221);
static_assert(offsetof(StKAMOKUINFO, AccountId) == 16);
static_assert(offsetof(StKAMOKUINFO, ListFlag) == 112);

inline constexpr std::int32_t kFindFieldAccountId = 2;
inline constexpr std::int32_t kFindFieldMonthCode = 17;
inline constexpr std::int16_t kFindOpEqual = 1;
inline constexpr std::int16_t kFindOpAtLeast = 4;
inline constexpr std::int16_t kFindOpAtMost = 6;
inline constexpr std::int16_t kFindValue16 = 2;
inline constexpr std::int16_t kFindValue32 = 3;
inline constexpr std::int16_t kFindLinkEnd = 0;
inline constexpr std::int16_t kFindLinkAnd = 1;
inline constexpr std::int16_t kFindLinkOr = 2;

// The value of a condition as its ValueType says (a 16-bit value sign-extended); 16-bit for any other
// ValueType, as the record's first two value bytes.
std::int32_t FindValue(const StFINDINFO& cond);
std::int16_t FindValue16(const StFINDINFO& cond);
void SetFindValue16(StFINDINFO* cond, std::int16_t value);
void SetFindValue32(StFINDINFO* cond, std::int32_t value);

struct StBUMONINFO;  // department breakdown; the program never asks for one

// What a set object or a rule works on: the set manager and the company (by its data-ID text). Until
// SetCurDataID is called, the set works on the session's selected company.
class ClSetBase {
 public:
  ClSetBase() = default;
  virtual ~ClSetBase();
  ClSetBase(const ClSetBase&) = delete;
  ClSetBase& operator=(const ClSetBase&) = delete;

  // The set manager is only a token: the set needs nothing from it.
  long AttachSetMgr(ClSetMgr* mgr);
  // Takes the company whose data-ID text this is (read up to its NUL, at most 34 bytes). 0 when a
  // company has that data ID; otherwise kPlatformNoCompany, and the set works on no company until the
  // next call.
  long SetCurDataID(const char* data_id);

  // The company's data_no, or -1 when the set works on no company.
  std::int32_t CurDataNo() const;

 protected:
  bool m_bDataIdSet = false;
  std::int32_t m_nDataNo = -1;
};

// The rule's own base: the set-up shared by the platform's aggregation rules.
class ClRuleBase : public ClSetBase {
 public:
  // The option link is only a token: the rule needs nothing from it.
  long AttachOptLink(ClOptLink* link);
};

// The account master set (ClDataMgr::GetSetObject(1, 1)). An `accounts` row whose list_flag is NULL is
// not in the master. A cursor walks the entries matching one condition (FieldNo 2, operator 1, 4 or 6)
// in ascending account order.
class ClSetKamoku : public ClSetBase {
 public:
  ClSetKamoku();
  ~ClSetKamoku() override;

  // Opens a cursor; *cursor receives its number (1 or more).
  long GetCursor(long* cursor);
  // Puts the cursor back before the first entry.
  long ReadyCursor(long cursor);
  // Fills *info (AccountId and ListFlag; the rest zero) with the next entry matching the condition and
  // answers 0; kPlatformEnd, with *info untouched, when no entry is left; another non-zero value on a
  // bad cursor, a condition it cannot evaluate, or a database error (whose line *why receives).
  long WalkFind(const StFINDINFO* cond, StKAMOKUINFO* info, long cursor, std::string* why = nullptr);
  // Closes the cursor (its statement is finalized).
  long ReleaseCursor(long cursor);

 private:
  struct Cursor;
  std::vector<std::unique_ptr<Cursor>> m_cursors;
};

// The account aggregation rule: one object per aggregation, made by Create().
//
// MoveReady takes the condition list (month codes, FieldNo 17) and prepares the walk; GetSumCount
// counts the rows; SetMovePos(0) puts the walk on the first row; MoveNext delivers one row per call and
// kPlatformEnd after the last. Rows come in ascending account order, one per `accounts` row of the
// company, with or without totals: a main account (identifier a multiple of 10000) that has sub-account
// rows comes first with HasSubAccounts set, then its sub-accounts, then once more with the flag clear;
// both of its rows carry its own totals plus its sub-accounts'. Slot 0 is always filled; slots 1..12 are
// filled when their month code (1..12) satisfies the condition list, slot 13 with month code 18 and
// slot 14 with month code 15 ("and" binds tighter than "or").
//
// From MoveReady to MoveFinish (or the rule's end) the count and the walk read one snapshot of the
// host database, so MoveNext delivers exactly the rows counted whatever is written meanwhile. A row that
// breaks the tables' keys (a second `accounts` row of an account, a second `totals` row of an account
// and slot, a data_no that is no number) fails GetSumCount or MoveNext with kPlatformBadValue.
//
// A call that fails on the host database (a read that failed, a value refused) hands its line to *why
// when `why` is not null: "host database <file>: ..." naming the cause, or the table, row and column.
// A failure of MoveReady is handed back by the GetSumCount that follows.
class ClRuleKamoku : public ClRuleBase {
 public:
  enum _RuleKamokuSumType_Base : int { SumBase_None = 0, SumBase_Kamoku = 1 };
  enum _RuleKamokuSumType_Bmn : int { SumBmn_None = 0 };
  enum _RuleKamokuSumType_Disptype : int { SumDisp_Normal = 0 };
  enum _RuleKamokuSumType_Past : int { SumPast_None = 0 };

  // Null when the platform cannot make a rule (the `faults` row "NewRule").
  static ClRuleKamoku* Create();
  ~ClRuleKamoku() override;

  // 0 when the walk is prepared. A condition list of at most four conditions that ends with Link 0,
  // each on FieldNo 17 with operator 1, 4 or 6 and ValueType 2 or 3; a bad list, an unknown company or a
  // missing table answers non-zero and makes GetSumCount fail.
  long MoveReady(_RuleKamokuSumType_Base base, _RuleKamokuSumType_Bmn bmn, _RuleKamokuSumType_Disptype disp,
                 const StFINDINFO* conditions, const StBUMONINFO* bumon, _RuleKamokuSumType_Past past);
  // 0 and *count = the number of rows MoveNext will deliver; non-zero when the walk is not prepared.
  long GetSumCount(std::uint32_t* count, std::string* why = nullptr);
  // Puts the walk on row pos (0 is the first).
  long SetMovePos(std::uint32_t pos, std::string* why = nullptr);
  // Fills *row with the next row and answers 0; kPlatformEnd after the last; another value on failure.
  long MoveNext(StKAMOKUSUMINFO* row, std::string* why = nullptr);
  // Ends the walk and releases its statements.
  long MoveFinish();

  static constexpr int kMaxConditions = 4;

 private:
  ClRuleKamoku();
  struct Walk;
  long Fill(StKAMOKUSUMINFO* row, std::string* why);
  bool SlotWanted(int slot) const;

  std::unique_ptr<Walk> m_pWalk;
  long m_nReadyResult = kPlatformNotReady;
  std::string m_strReadyFailure;  // the line of MoveReady's failure on the host database, if any
  std::vector<StFINDINFO> m_conditions;
};

// True when `yyyymmdd` is a date of the calendar (year 1 or later; leap years as the Gregorian calendar).
bool IsCalendarDate(std::int32_t yyyymmdd);

// The accounting-period calendar: the books close on the closing day of each month, which follows from
// the period's last day (31 when that day is the end of its month, else that day). The accounting month
// of a date is its calendar month when its day is on or before the closing day, else the next month.
class ClAccPeriod {
 public:
  // Null when the platform cannot make one (the `faults` row "NewPeriod").
  static ClAccPeriod* Create();
  virtual ~ClAccPeriod();

  long SetPeriod(std::int32_t start, std::int32_t end);
  // *closing_day: 31 when `end` is the last day of its month, else the day of `end` (1..30).
  long GetClosingDayByEndDate(std::int32_t end, int mode, std::int32_t* closing_day);
  long SetClosingDay(std::int32_t closing_day);
  // *month: the calendar month (1..12) of the accounting month that contains `date`; non-zero (and
  // *month untouched) for a date that is not a valid yyyymmdd.
  long GetAMonthByDate(std::int32_t date, std::int32_t* month, int mode);

 private:
  ClAccPeriod() = default;
  std::int32_t m_lStart = 0;
  std::int32_t m_lEnd = 0;
  std::int32_t m_nClosingDay = 31;
};
