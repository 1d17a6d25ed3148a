// The report over balance rows in any order: the document is always written whole and well-formed: one
// REPORT holding SYSTEM, BASIC and DATA; DATA holding KANJYOKAMOKU elements (code, name, balance, then
// HOJYOKAMOKU elements) and, for sub-accounts whose main account was left out, HOJYOKAMOKU elements of
// its own; every HOJYOKAMOKU holding code, name and balance. Main accounts are counted 1, 2, 3, ... in
// document order, sub-accounts 1, 2, 3, ... in each run; every sub-account row is written, in order,
// with its code and name; texts hold only escaped markup; each tag line has its element's fixed indent
// (a HOJYOKAMOKU keeps its indent of 3 also where it stands directly in DATA).
//
// Input: rows of [flags, account code, sub-account code, name length] + name bytes + balance (8 bytes
// when flags bit 2 is set, else 1 byte of whole yen). Flags bit 0: HasSubAccounts; bit 1: negative id.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "aggregation/zandaka.h"
#include "app/progress_dlg.h"
#include "fuzz/fuzz_support.h"
#include "platform/records.h"
#include "report/report_writer.h"
#include "res/edition.h"
#include "win32/drives.h"

namespace {

using fuzz::Check;
using fuzz::ReadAll;
using fuzz::Unescape;

struct StNode {
  std::string name;
  std::map<std::string, std::string> attrs;
  std::string text;  // unescaped; only on elements without children
  std::vector<std::unique_ptr<StNode>> children;
};

// A small parser for the writer's documents: start tags with attributes, end tags matched in order,
// text only inside leaf elements, every tag line indented by the element's fixed indent and ended by
// CR LF.
class ClDocReader {
 public:
  explicit ClDocReader(std::string_view doc) : m_doc(doc) {}

  std::unique_ptr<StNode> ReadDocument() {
    static constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n";
    Check(m_doc.substr(0, kDeclaration.size()) == kDeclaration);
    m_nPos = kDeclaration.size();
    auto root = ReadElement(0);
    Check(m_nPos == m_doc.size());
    return root;
  }

 private:
  static bool IsContainer(std::string_view name) {
    return name == "REPORT" || name == "SYSTEM" || name == "BASIC" || name == "DATA" ||
           name == "KANJYOKAMOKU" || name == "HOJYOKAMOKU";
  }
  // The tabs the writer puts before an element's tags.
  static std::size_t IndentOf(std::string_view name) {
    if (name == "REPORT") return 0;
    if (name == "SYSTEM" || name == "BASIC" || name == "DATA") return 1;
    if (name == "KANJYOKAMOKU") return 2;
    if (name == "HOJYOKAMOKU" || name.substr(0, 13) == "KANJYOKAMOKU_") return 3;
    if (name.substr(0, 12) == "HOJYOKAMOKU_") return 4;
    return 2;  // the elements of SYSTEM and BASIC
  }
  char Peek() const { return m_nPos < m_doc.size() ? m_doc[m_nPos] : '\0'; }
  void Expect(std::string_view s) {
    Check(m_doc.substr(m_nPos, s.size()) == s);
    m_nPos += s.size();
  }
  std::string ReadName() {
    const std::size_t start = m_nPos;
    while (m_nPos < m_doc.size() &&
           (std::isalnum(static_cast<unsigned char>(m_doc[m_nPos])) || m_doc[m_nPos] == '_'))
      ++m_nPos;
    Check(m_nPos > start);
    return std::string(m_doc.substr(start, m_nPos - start));
  }

  std::unique_ptr<StNode> ReadElement(int depth) {
    Check(depth < 8);
    const std::size_t tabs = std::min(m_doc.find_first_not_of('\t', m_nPos), m_doc.size()) - m_nPos;
    m_nPos += tabs;
    Expect("<");
    auto node = std::make_unique<StNode>();
    node->name = ReadName();
    Check(tabs == IndentOf(node->name));
    while (Peek() == ' ') {
      ++m_nPos;
      const std::string attr = ReadName();
      Expect("=\"");
      const std::size_t end = m_doc.find('"', m_nPos);
      Check(end != std::string_view::npos);
      Check(node->attrs.emplace(attr, Unescape(m_doc.substr(m_nPos, end - m_nPos))).second);
      m_nPos = end + 1;
    }
    Expect(">");
    const std::string end_tag = "</" + node->name + ">\r\n";
    if (IsContainer(node->name)) {
      Expect("\r\n");
      // Children on lines of their own, then the end tag on its line.
      while (true) {
        const std::string end_line = std::string(tabs, '\t') + end_tag;
        if (m_doc.substr(m_nPos, end_line.size()) == end_line) {
          m_nPos += end_line.size();
          break;
        }
        node->children.push_back(ReadElement(depth + 1));
      }
    } else {
      // Text (which may hold line ends of its own) and the end tag.
      const std::size_t end = m_doc.find('<', m_nPos);
      Check(end != std::string_view::npos);
      node->text = Unescape(m_doc.substr(m_nPos, end - m_nPos));
      m_nPos = end;
      Expect(end_tag);
    }
    return node;
  }

  std::string_view m_doc;
  std::size_t m_nPos = 0;
};

bool IsMain(const StZANDAKAINFO& row) { return row.AccountId % 10000 == 0; }

std::string FieldText(const char* field, std::size_t size) {
  return std::string(field, strnlen(field, size));
}

// Leaf elements named prefix + _CODE, _NAME, _ZANDAKA, in that order, first in node.
void CheckLeaves(const StNode& node, const std::string& prefix) {
  static const char* const kParts[] = {"_CODE", "_NAME", "_ZANDAKA"};
  Check(node.children.size() >= 3 && node.text.empty());
  for (int i = 0; i < 3; ++i) {
    const StNode& leaf = *node.children[static_cast<std::size_t>(i)];
    Check(leaf.name == prefix + kParts[i] && leaf.children.empty() && leaf.attrs.empty());
  }
}

// A balance is empty (zero or out of range) or whole yen: an optional minus and digits without a leading
// zero.
void CheckBalance(const std::string& text) {
  if (text.empty()) return;
  const std::size_t digits = text[0] == '-' ? 1 : 0;
  Check(text.size() > digits && text[digits] != '0' && text.size() - digits <= 12);
  for (std::size_t i = digits; i < text.size(); ++i) Check(std::isdigit(static_cast<unsigned char>(text[i])));
}

int CountOf(const StNode& node) {
  const auto it = node.attrs.find("Count");
  Check(it != node.attrs.end() && node.attrs.size() == 1 && it->second.size() >= 4);
  return std::atoi(it->second.c_str());
}

// Checks a HOJYOKAMOKU against the next sub-account row.
void CheckSubAccount(const StNode& node, const std::vector<const StZANDAKAINFO*>& subs, std::size_t* next,
                     int* run_count) {
  Check(node.name == "HOJYOKAMOKU");
  CheckLeaves(node, "HOJYOKAMOKU");
  Check(node.children.size() == 3);
  Check(CountOf(node) == ++*run_count);
  Check(*next < subs.size());
  const StZANDAKAINFO& row = *subs[(*next)++];
  Check(node.children[0]->text == std::to_string(row.AccountId % 10000));
  Check(node.children[1]->text == FieldText(row.Name, sizeof row.Name));
  CheckBalance(node.children[2]->text);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::MakeWorkFile("report.xml");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<StZANDAKAINFO> storage;
  storage.reserve(size / 4 + 1);
  std::size_t p = 0;
  while (p + 4 <= size && storage.size() < 256) {
    const std::uint8_t flags = data[p];
    StZANDAKAINFO row;
    row.AccountId = data[p + 1] * 10000 + data[p + 2];
    if (flags & 2) row.AccountId = -row.AccountId;
    row.HasSubAccounts = flags & 1;
    const std::size_t name_len = data[p + 3] % 17;
    p += 4;
    const std::size_t take = std::min(name_len, size - p);
    std::memcpy(row.Name, data + p, take);
    p += take;
    if ((flags & 4) && p + 8 <= size) {
      std::memcpy(&row.Balance, data + p, 8);
      p += 8;
    } else if (p < size) {
      row.Balance = static_cast<std::int64_t>(static_cast<std::int8_t>(data[p++])) * 10000;
    }
    storage.push_back(row);
  }
  ClZandakaList rows;
  std::vector<const StZANDAKAINFO*> subs;
  std::size_t mains = 0;
  for (auto& row : storage) {
    rows.push_back(&row);
    if (IsMain(row))
      ++mains;
    else
      subs.push_back(&row);
  }

  ClProgressDlg progress;
  ClReportWriter writer(progress, rows, res::Edition(res::EditionId::kHalvorack));
  StDATAINFO info{};
  std::strcpy(info.CompanyName, "Company & Co.");
  info.PeriodStart = 20250401;
  info.PeriodEnd = 20260331;
  Check(writer.Write(fuzz::TheWorkFile().win_path.c_str(), 1, info) == 1);
  Check(progress.OverallPos() > 0);

  const std::string doc = ReadAll(fuzz::TheWorkFile().linux_path);
  ClDocReader reader(doc);
  const auto root = reader.ReadDocument();
  Check(root->name == "REPORT" && root->children.size() == 3);
  Check(root->children[0]->name == "SYSTEM" && root->children[1]->name == "BASIC");
  const StNode& data_node = *root->children[2];
  Check(data_node.name == "DATA" && data_node.attrs.empty() && data_node.text.empty());

  int main_count = 0;
  std::size_t next_sub = 0;
  int run_count = 0;  // sub-accounts of the current run outside any account
  for (const auto& child : data_node.children) {
    if (child->name == "HOJYOKAMOKU") {
      CheckSubAccount(*child, subs, &next_sub, &run_count);
      continue;
    }
    run_count = 0;
    Check(child->name == "KANJYOKAMOKU");
    CheckLeaves(*child, "KANJYOKAMOKU");
    CheckBalance(child->children[2]->text);
    Check(CountOf(*child) == ++main_count);
    int inner_count = 0;
    for (std::size_t i = 3; i < child->children.size(); ++i)
      CheckSubAccount(*child->children[i], subs, &next_sub, &inner_count);
  }
  Check(next_sub == subs.size());
  Check(static_cast<std::size_t>(main_count) <= mains);
  return 0;
}
