// The line writer of the report.
#include "report/xml_writer.h"

#include <cassert>
#include <cstring>

#include "win32/mbcs.h"

namespace {

// Bytes that escaping puts in place of one byte.
std::size_t EscapedSize(unsigned char c) {
  switch (c) {
    case '&':
      return 5;  // &amp;
    case '>':
    case '<':
      return 4;  // &gt; &lt;
    case '"':
    case '\'':
      return 6;  // &quot; &apos;
    default:
      return 1;
  }
}

}  // namespace

// A NUL-terminated text being built in a buffer of fixed size.
class ClXmlWriter::LineBuilder {
 public:
  LineBuilder(char* buf, std::size_t size) : m_pBuf(buf), m_nSize(size) {}
  // The line reset to `count` copies of c; false when that does not fit.
  bool Reset(char c, int count) {
    if (count < 0 || static_cast<std::size_t>(count) + 1 > m_nSize) {
      if (m_nSize > 0) m_pBuf[0] = '\0';
      return false;
    }
    std::memset(m_pBuf, c, static_cast<std::size_t>(count));
    m_nLen = static_cast<std::size_t>(count);
    m_pBuf[m_nLen] = '\0';
    return true;
  }
  bool Append(std::string_view piece) {
    if (m_nLen + piece.size() + 1 > m_nSize) return false;
    std::memcpy(m_pBuf + m_nLen, piece.data(), piece.size());
    m_nLen += piece.size();
    m_pBuf[m_nLen] = '\0';
    return true;
  }

 private:
  char* m_pBuf;
  std::size_t m_nSize;
  std::size_t m_nLen = 0;
};

// A writer left without Commit (a run that did not finish its document) never puts that in the file's
// place.
ClXmlWriter::~ClXmlWriter() { Discard(); }

// The writer's states: detached (no file, nothing collected) until Open, attached (its file open, or
// closed by a file error) until Commit, Discard or Close. Lines are collected only in buffered mode while
// attached.
#define ASSERT_WRITER_STATE() assert(m_strBuffer.empty() || (m_bBuffered && m_pFile != nullptr))

std::int16_t ClXmlWriter::Open(win32::CFile* file, const char* path) {
  if (file == nullptr || path == nullptr) return -1;
  assert(m_pFile == nullptr && "one file at a time: Commit, Discard or Close the one before");
  ASSERT_WRITER_STATE();
  m_pFile = file;
  m_strPath = path;
  // The outcome is not examined here: a file that did not open fails at the first write.
  m_pFile->Open(path, win32::CFile::modeCreate | win32::CFile::modeWrite | win32::CFile::shareExclusive |
                          win32::CFile::modeReplace);
  return 0;
}

int ClXmlWriter::WriteLine(const char* text) {
  if (m_pFile == nullptr || text == nullptr) return 0;
  ASSERT_WRITER_STATE();
  if (!m_bBuffered) return WriteBytes(text, std::strlen(text));
  // A file that is not open (it did not open, or an error closed it) fails at once, as unbuffered.
  if (!m_pFile->IsOpen()) return 0;
  m_strBuffer.append(text);
  return m_strBuffer.size() >= kBufferSize ? Flush() : 1;
}

int ClXmlWriter::WriteBytes(const char* bytes, std::size_t count) {
  try {
    m_pFile->Write(bytes, static_cast<win32::UINT>(count));
  } catch (const win32::CFileException&) {
    // The file is closed but stays attached: every later write fails the same way.
    m_pFile->Abort();
    assert(!m_pFile->IsOpen() && "a file error leaves the file closed and the writer attached");
    return 0;
  }
  return 1;
}

void ClXmlWriter::SetBuffered(bool on) {
  if (!on && !m_strBuffer.empty()) Flush();
  m_bBuffered = on;
  if (on) m_strBuffer.reserve(kBufferSize + kEscapeSize * 4);
}

int ClXmlWriter::Flush() {
  if (m_pFile == nullptr) return 0;
  if (m_strBuffer.empty()) return m_pFile->IsOpen() ? 1 : 0;
  const int result = WriteBytes(m_strBuffer.data(), m_strBuffer.size());
  // Bytes the file did not take are dropped with the rest: nothing after a failing byte is written.
  m_strBuffer.clear();
  ASSERT_WRITER_STATE();
  return result;
}

int ClXmlWriter::Commit() {
  if (m_pFile == nullptr) return 0;
  int result = Flush();
  if (result == 0) {
    Discard();
    return 0;
  }
  try {
    m_pFile->Close();
  } catch (const win32::CFileException&) {
    result = 0;  // closed all the same, the replacement discarded
  }
  m_pFile = nullptr;
  ASSERT_WRITER_STATE();
  return result;
}

void ClXmlWriter::Discard() {
  m_strBuffer.clear();
  if (m_pFile != nullptr) m_pFile->Abort();
  m_pFile = nullptr;
  ASSERT_WRITER_STATE();
}

int ClXmlWriter::Close() {
  Commit();
  return 0;
}

const char* ClXmlWriter::Escape(const char* text) {
  if (text == nullptr) text = "";
  const std::size_t length = std::strlen(text);
  if (length >= kEscapeSize) return nullptr;
  std::size_t out = 0;
  for (std::size_t i = 0; i < length; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const char* piece = nullptr;
    switch (c) {
      case '&':
        piece = "&amp;";
        break;
      case '>':
        piece = "&gt;";
        break;
      case '<':
        piece = "&lt;";
        break;
      case '"':
        piece = "&quot;";
        break;
      case '\'':
        piece = "&apos;";
        break;
      default:
        break;
    }
    const std::size_t piece_len = piece != nullptr ? std::strlen(piece) : 1;
    if (out + piece_len + 1 > kEscapeSize) return nullptr;
    if (piece != nullptr)
      std::memcpy(m_szEscaped + out, piece, piece_len);
    else
      m_szEscaped[out] = static_cast<char>(c);
    out += piece_len;
  }
  m_szEscaped[out] = '\0';
  return m_szEscaped;
}

std::string ClXmlWriter::FitEscaped(std::string_view value, std::size_t max_escaped) {
  std::size_t used = 0;
  std::size_t i = 0;
  while (i < value.size()) {
    const std::size_t len = win32::CharLenAt(value, i);
    // Escaping goes by bytes: a lead byte followed by one of the five bytes (not a valid character)
    // still has that byte escaped.
    std::size_t escaped = 0;
    for (std::size_t k = i; k < i + len; ++k) escaped += EscapedSize(static_cast<unsigned char>(value[k]));
    if (used + escaped > max_escaped) break;
    used += escaped;
    i += len;
  }
  return std::string(value.substr(0, i));
}

int ClXmlWriter::WriteBuiltLine(char* line, std::size_t line_size, const char* name, int indent,
                                const char* value, bool end_tag_only, const char* attr_name1,
                                const char* attr_value1, const char* attr_name2, const char* attr_value2) {
  if (line == nullptr || line_size == 0 || name == nullptr) return 0;
  LineBuilder builder(line, line_size);
  if (!builder.Reset('\t', indent)) return 0;
  if (end_tag_only) {
    if (!builder.Append("</") || !builder.Append(name) || !builder.Append(">\r\n")) return 0;
    return WriteLine(line);
  }
  if (!builder.Append("<") || !builder.Append(name)) return 0;
  if (attr_name1 != nullptr && attr_value1 != nullptr) {
    if (!AppendAttribute(&builder, attr_name1, attr_value1)) return 0;
    if (attr_name2 != nullptr && attr_value2 != nullptr &&
        !AppendAttribute(&builder, attr_name2, attr_value2))
      return 0;
  }
  if (!builder.Append(">")) return 0;
  if (value != nullptr) {
    const char* escaped = Escape(value);
    if (escaped == nullptr || !builder.Append(escaped) || !builder.Append("</") || !builder.Append(name) ||
        !builder.Append(">"))
      return 0;
  }
  if (!builder.Append("\r\n")) return 0;
  return WriteLine(line);
}

bool ClXmlWriter::AppendAttribute(LineBuilder* line, const char* name, const char* value) {
  const char* escaped = Escape(value);
  if (escaped == nullptr) return false;
  char fragment[kAttributeSize];
  LineBuilder attribute(fragment, sizeof fragment);
  if (!attribute.Reset(' ', 1) || !attribute.Append(name) || !attribute.Append("=\"") ||
      !attribute.Append(escaped) || !attribute.Append("\""))
    return false;
  return line->Append(fragment);
}

int ClXmlWriter::WriteElement(char* line, std::size_t line_size, const char* name, const char* value,
                              int indent, const char* attr_name1, const char* attr_value1,
                              const char* attr_name2, const char* attr_value2) {
  return WriteBuiltLine(line, line_size, name, indent, value != nullptr ? value : "", false, attr_name1,
                        attr_value1, attr_name2, attr_value2);
}

int ClXmlWriter::WriteStartTag(char* line, std::size_t line_size, const char* name, int indent,
                               const char* attr_name1, const char* attr_value1, const char* attr_name2,
                               const char* attr_value2) {
  return WriteBuiltLine(line, line_size, name, indent, nullptr, false, attr_name1, attr_value1, attr_name2,
                        attr_value2);
}

int ClXmlWriter::WriteEndTag(char* line, std::size_t line_size, const char* name, int indent) {
  return WriteBuiltLine(line, line_size, name, indent, nullptr, true, nullptr, nullptr, nullptr, nullptr);
}
