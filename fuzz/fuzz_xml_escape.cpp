// The line writer's escaping and element lines: an escaped text holds none of < > " ' and only the five
// entities for &, gives the text back when unescaped and is refused exactly when it would exceed 255
// bytes; a cut for escaping never splits a character; an element or start-tag line is written whole and
// exactly when it fits the caller's buffer (never a byte outside it), and a refused line writes nothing.
//
// Input: byte 0 = indent (low 3 bits), start tag instead of element (bit 3), the attribute names and
// values given or not (bits 4-7); byte 1 = line buffer size / 2 and the cut limit for FitEscaped; the
// rest = name, value, attribute name 1, value 1, name 2, value 2, separated by 0x01.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "report/xml_writer.h"
#include "win32/drives.h"
#include "win32/file.h"
#include "win32/mbcs.h"

namespace {

using fuzz::Check;
using fuzz::ReadAll;
using fuzz::Unescape;

std::size_t EscapedSize(std::string_view text) {
  std::size_t n = 0;
  for (char c : text) {
    switch (c) {
      case '&':
        n += 5;
        break;
      case '<':
      case '>':
        n += 4;
        break;
      case '"':
      case '\'':
        n += 6;
        break;
      default:
        n += 1;
    }
  }
  return n;
}

void CheckEscape(ClXmlWriter& xml, const std::string& text) {
  const char* escaped = xml.Escape(text.c_str());
  const bool fits = text.size() < ClXmlWriter::kEscapeSize && EscapedSize(text) < ClXmlWriter::kEscapeSize;
  Check((escaped != nullptr) == fits);
  if (escaped == nullptr) return;
  Check(std::strlen(escaped) == EscapedSize(text));
  Check(Unescape(escaped) == text);
}

void CheckFit(std::string_view value, std::size_t limit) {
  const std::string fit = ClXmlWriter::FitEscaped(value, limit);
  Check(value.substr(0, fit.size()) == fit);
  Check(EscapedSize(fit) <= limit);
  if (fit.size() < value.size()) {
    Check(!win32::IsTrailPosition(value, fit.size()));
    const std::size_t next = win32::CharLenAt(value, fit.size());
    Check(EscapedSize(value.substr(0, fit.size() + next)) > limit);
  }
}

// The length of ` name="escaped"`, or 0 when the attribute is refused.
std::size_t AttributeSize(const std::string& name, const std::string& value) {
  if (value.size() >= ClXmlWriter::kEscapeSize || EscapedSize(value) >= ClXmlWriter::kEscapeSize) return 0;
  const std::size_t n = 1 + name.size() + 2 + EscapedSize(value) + 1;
  return n + 1 <= ClXmlWriter::kAttributeSize ? n : 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::MakeWorkFile("line.xml");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int indent = data[0] & 7;
  const bool start_tag = (data[0] & 8) != 0;
  const std::size_t line_size = 2u * data[1];
  // Parts are C texts: each ends at its first NUL.
  std::vector<std::string> parts;
  std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
  while (parts.size() < 6) {
    const std::size_t sep = rest.find('\x01');
    const std::string_view part = rest.substr(0, sep);
    parts.emplace_back(part.substr(0, part.find('\0')));
    if (sep == std::string_view::npos) break;
    rest.remove_prefix(sep + 1);
  }
  parts.resize(6);
  const std::string& name = parts[0];
  const std::string& value = parts[1];
  const char* attr[4];
  for (int i = 0; i < 4; ++i) attr[i] = (data[0] & (0x10 << i)) != 0 ? parts[2 + i].c_str() : nullptr;

  ClXmlWriter xml;
  for (const auto& part : parts) CheckEscape(xml, part);
  CheckFit(value, data[1]);

  // The line the writer must build, or none when it does not fit.
  std::string expected(static_cast<std::size_t>(indent), '\t');
  expected += "<" + name;
  bool refused = false;
  if (attr[0] != nullptr && attr[1] != nullptr) {
    const std::size_t n1 = AttributeSize(attr[0], attr[1]);
    refused = n1 == 0;
    expected += std::string(" ") + attr[0] + "=\"" + (refused ? "" : xml.Escape(attr[1])) + "\"";
    if (!refused && attr[2] != nullptr && attr[3] != nullptr) {
      refused = AttributeSize(attr[2], attr[3]) == 0;
      expected += std::string(" ") + attr[2] + "=\"" + (refused ? "" : xml.Escape(attr[3])) + "\"";
    }
  }
  expected += ">";
  if (!start_tag) {
    const char* escaped = xml.Escape(value.c_str());
    refused = refused || escaped == nullptr;
    expected += std::string(escaped != nullptr ? escaped : "") + "</" + name + ">";
  }
  expected += "\r\n";
  refused = refused || expected.size() + 1 > line_size;

  // The line buffer is exactly as large as given, so that a byte outside it is seen.
  std::unique_ptr<char[]> line(new char[line_size == 0 ? 1 : line_size]);
  win32::CFile file;
  Check(xml.Open(&file, fuzz::TheWorkFile().win_path.c_str()) == 0);
  const int written = start_tag
                          ? xml.WriteStartTag(line_size == 0 ? nullptr : line.get(), line_size, name.c_str(),
                                              indent, attr[0], attr[1], attr[2], attr[3])
                          : xml.WriteElement(line_size == 0 ? nullptr : line.get(), line_size, name.c_str(),
                                             value.c_str(), indent, attr[0], attr[1], attr[2], attr[3]);
  xml.Close();
  const std::string text = ReadAll(fuzz::TheWorkFile().linux_path);
  Check(written == (refused ? 0 : 1));
  if (refused) {
    Check(text.empty());
  } else {
    Check(text == expected && std::strcmp(line.get(), expected.c_str()) == 0);
  }
  return 0;
}
