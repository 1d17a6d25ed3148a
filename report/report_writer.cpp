// The breakdown report document.
#include "report/report_writer.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "report/support_inf.h"
#include "res/texts.h"
#include "win32/file.h"
#include "win32/lcmap.h"
#include "win32/mbcs.h"
#include "win32/signals.h"

namespace {

constexpr char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n";
constexpr char kDefaultVersion[] = "22.03.0X";
constexpr char kCount[] = "Count";
constexpr std::int64_t kYen = 10000;
constexpr std::int64_t kMaxYen = 999'999'999'999;
constexpr std::int64_t kMinYen = -99'999'999'999;

bool IsMainAccount(const StZANDAKAINFO& row) { return row.AccountId % 10000 == 0; }

// A text of a fixed-size record field, which may lack its NUL.
std::string FieldText(const char* field, std::size_t size) {
  return std::string(field, strnlen(field, size));
}

// Bytes left for the escaped value of an element line: the line holds the tabs, both tags, CR LF and
// the NUL besides.
std::size_t ValueRoom(std::size_t line_size, const char* name, int indent) {
  const std::size_t fixed = static_cast<std::size_t>(indent) + 2 * std::strlen(name) + 5 + 2 + 1;
  const std::size_t room = line_size > fixed ? line_size - fixed : 0;
  return std::min(room, ClXmlWriter::kEscapeSize - 1);
}

// A whole number in decimal, right-aligned in `width` columns (none when 0).
std::string Decimal(long long value, int width = 0) {
  char text[32];
  std::snprintf(text, sizeof text, "%*lld", width, value);
  return text;
}

}  // namespace

ClReportWriter::ClReportWriter(ClProgress& progress, const ClZandakaList& rows, const res::StEdition& edition)
    : m_progress(progress),
      m_rows(rows),
      m_itCursor(rows.end()),
      m_strDefaultProduct(res::DefaultProductName(edition)) {}

ClReportWriter::~ClReportWriter() = default;

int ClReportWriter::Write(const char* path, std::int16_t function_id, const StDATAINFO& data) {
  win32::CFile file;
  int result = 0;
  {
    ClXmlWriter xml;
    xml.Open(&file, path);
    // The lines reach the file in large writes; each section flushes before its progress advances, so a
    // file error fails the section it happened in, and the data is in the file before success.
    xml.SetBuffered(true);
    char root_line[kRootLineSize];
    // A failure here shows up in the first section.
    xml.WriteLine(kDeclaration);
    xml.WriteStartTag(root_line, sizeof root_line, "REPORT", 0);

    // Tests may stop the run between the sections.
    auto pulse = [this] {
      win32::TestStop("report-section");
      m_progress.Pulse();
    };
    pulse();
    if (WriteSystem(xml, function_id)) {
      pulse();
      if (WriteBasic(xml, data)) {
        pulse();
        if (WriteData(xml)) {
          pulse();
          result = 1;
        }
      }
    }
    // The document is whole only with this line in the file, so its own failure (a disk that fills at
    // the very end) fails the report as well.
    if (result != 0 && xml.WriteEndTag(root_line, sizeof root_line, "REPORT", 0) == 0) result = 0;
    win32::TestStop("report-written");
    // Only a whole document replaces the file at the path; a failure leaves that as it was (the earlier
    // report, or no file), with no partial file anywhere, and so does an error of the sync, the close or
    // the rename.
    if (result != 0)
      result = xml.Commit();
    else
      xml.Discard();
  }
  return result;
}

int ClReportWriter::WriteSystem(ClXmlWriter& xml, std::int16_t function_id) {
  char line[kLineSize];
  if (!xml.WriteStartTag(line, sizeof line, "SYSTEM", 1)) return 0;

  std::string name;
  std::string version;
  {
    ClSupportInf support;
    name = support.GetProductName();
    version = support.GetProductVersion();
  }
  if (name.empty()) name = m_strDefaultProduct;
  if (version.empty()) version = kDefaultVersion;
  // Texts from the product information file may be of any length: cut between characters so that each
  // line fits its buffer.
  name = ClXmlWriter::FitEscaped(name, ValueRoom(sizeof line, "PROGRAMNAME", 2));
  version = ClXmlWriter::FitEscaped(version, ValueRoom(sizeof line, "PROGRAMVER", 2));

  const std::string function_text = Decimal(function_id);
  const struct {
    const char* name;
    const char* value;
  } elements[] = {
      {"GYOUMUPREFIX", "QV13"},
      {"VERSION", "1"},
      {"FUNCTIONID", function_text.c_str()},
      {"CONNECTEDPROGRAMVER", res::Text(res::TextId::kVersion).c_str()},
      {"PROGRAMNAME", name.c_str()},
      {"PROGRAMVER", version.c_str()},
  };
  for (const auto& element : elements) {
    if (!xml.WriteElement(line, sizeof line, element.name, element.value, 2)) return 0;
    m_progress.Pulse();
  }
  if (!xml.WriteEndTag(line, sizeof line, "SYSTEM", 1) || !xml.Flush()) return 0;
  m_progress.Advance(m_nProgressBase, static_cast<std::int16_t>(m_nProgressBase + 100));
  return 1;
}

int ClReportWriter::WriteBasic(ClXmlWriter& xml, const StDATAINFO& data) {
  char line[kLineSize];
  if (!xml.WriteStartTag(line, sizeof line, "BASIC", 1)) return 0;
  const std::string company = FieldText(data.CompanyName, sizeof data.CompanyName);
  if (!xml.WriteElement(line, sizeof line, "KOMONSAKINAME", ToFullWidthName(company.c_str()).c_str(), 2))
    return 0;
  m_progress.Pulse();
  if (!xml.WriteElement(line, sizeof line, "JIGYOUNENDOFROM", Decimal(data.PeriodStart).c_str(), 2)) return 0;
  m_progress.Pulse();
  if (!xml.WriteElement(line, sizeof line, "JIGYOUNENDOTO", Decimal(data.PeriodEnd).c_str(), 2)) return 0;
  m_progress.Pulse();
  if (!xml.WriteEndTag(line, sizeof line, "BASIC", 1) || !xml.Flush()) return 0;
  m_progress.Advance(static_cast<std::int16_t>(m_nProgressBase + 100),
                     static_cast<std::int16_t>(m_nProgressBase + 200));
  return 1;
}

int ClReportWriter::WriteAccount(ClXmlWriter& xml, const StZANDAKAINFO& row, int count) {
  char line[kLineSize];
  const std::string count_text = Decimal(count, 4);
  return xml.WriteStartTag(line, sizeof line, "KANJYOKAMOKU", 2, kCount, count_text.c_str()) &&
         xml.WriteElement(line, sizeof line, "KANJYOKAMOKU_CODE", Decimal(row.AccountId / 10000).c_str(),
                          3) &&
         xml.WriteElement(line, sizeof line, "KANJYOKAMOKU_NAME",
                          FieldText(row.Name, sizeof row.Name).c_str(), 3) &&
         xml.WriteElement(line, sizeof line, "KANJYOKAMOKU_ZANDAKA", BalanceText(row.Balance).c_str(), 3);
}

int ClReportWriter::WriteSubAccount(ClXmlWriter& xml, const StZANDAKAINFO& row, int count) {
  char line[kLineSize];
  const std::string count_text = Decimal(count, 4);
  return xml.WriteStartTag(line, sizeof line, "HOJYOKAMOKU", 3, kCount, count_text.c_str()) &&
         xml.WriteElement(line, sizeof line, "HOJYOKAMOKU_CODE", Decimal(row.AccountId % 10000).c_str(), 4) &&
         xml.WriteElement(line, sizeof line, "HOJYOKAMOKU_NAME", FieldText(row.Name, sizeof row.Name).c_str(),
                          4) &&
         xml.WriteElement(line, sizeof line, "HOJYOKAMOKU_ZANDAKA", BalanceText(row.Balance).c_str(), 4) &&
         xml.WriteEndTag(line, sizeof line, "HOJYOKAMOKU", 3);
}

// The rows come in the aggregation rule's order: a main account whose HasSubAccounts is set is followed
// by its sub-account rows and then by one more main-account row (the account's closing row), which is
// not written. Two other orders are kept well-formed here:
// - A flagged main account followed directly by a main-account row (all of its sub-accounts were left
//   out by the listing rule): the open account element is closed there and the main counter advances;
//   the row is dropped when it is the same account's closing row and written as a new account otherwise.
// - Sub-account rows while no account element is open (their main account was left out): they are
//   written inside DATA as they come, but no account end tag follows them and the main counter stays.
int ClReportWriter::WriteData(ClXmlWriter& xml) {
  char line[kLineSize];
  if (!xml.WriteStartTag(line, sizeof line, "DATA", 1)) return 0;
  int main_count = 1;
  int sub_count = 1;
  bool skip_next_main = false;
  bool account_open = false;      // a KANJYOKAMOKU start tag was written and not yet ended
  bool open_has_subs = false;     // a HOJYOKAMOKU element was written inside the open account
  std::int32_t open_account = 0;  // AccountId of the open account

  for (m_itCursor = m_rows.begin(); m_itCursor != m_rows.end(); ++m_itCursor) {
    m_progress.Pulse();
    const StZANDAKAINFO& row = **m_itCursor;
    if (IsMainAccount(row)) {
      if (account_open && !open_has_subs) {
        // A flagged main account with no sub-account row after it.
        if (!xml.WriteEndTag(line, sizeof line, "KANJYOKAMOKU", 2)) return 0;
        account_open = false;
        ++main_count;
        skip_next_main = false;
        if (row.AccountId == open_account) continue;
      }
      if (skip_next_main) {
        skip_next_main = false;
        continue;
      }
      if (!WriteAccount(xml, row, main_count)) return 0;
      if (row.HasSubAccounts != 0) {
        account_open = true;
        open_has_subs = false;
        open_account = row.AccountId;
        skip_next_main = true;
      } else {
        if (!xml.WriteEndTag(line, sizeof line, "KANJYOKAMOKU", 2)) return 0;
        ++main_count;
      }
      continue;
    }

    if (!WriteSubAccount(xml, row, sub_count)) return 0;
    ++sub_count;
    if (account_open) open_has_subs = true;
    const auto next = std::next(m_itCursor);
    if (next == m_rows.end() || IsMainAccount(**next)) {
      sub_count = 1;
      if (account_open) {
        if (!xml.WriteEndTag(line, sizeof line, "KANJYOKAMOKU", 2)) return 0;
        account_open = false;
        ++main_count;
      }
    }
  }
  if (account_open && !xml.WriteEndTag(line, sizeof line, "KANJYOKAMOKU", 2)) return 0;
  if (!xml.WriteEndTag(line, sizeof line, "DATA", 1) || !xml.Flush()) return 0;
  m_progress.Advance(static_cast<std::int16_t>(m_nProgressBase + 200), 1000);
  return 1;
}

std::string ClReportWriter::ToFullWidthName(const char* text) {
  if (text == nullptr) return {};
  const int out_size = 2 * (static_cast<int>(std::strlen(text)) + 1);
  std::string mapped(static_cast<std::size_t>(out_size), '\0');
  const int written = win32::LCMapStringA(win32::GetSystemDefaultLCID(), win32::LCMAP_FULLWIDTH, text, -1,
                                          mapped.data(), out_size);
  if (written <= 0) return {};
  mapped.resize(strnlen(mapped.data(), static_cast<std::size_t>(written)));
  // A double-byte character whose first byte would be the 32nd is left out whole.
  return win32::CutAtCharBoundary(mapped, kNameBytes);
}

std::string ClReportWriter::BalanceText(std::int64_t balance) {
  const std::int64_t yen = balance / kYen;
  if (yen == 0 || yen > kMaxYen || yen < kMinYen) return {};
  return Decimal(yen);
}
