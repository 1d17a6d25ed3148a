// The line writer of the report: every call builds one complete line (XML declaration, start tag, end
// tag, or an element with its text on one line) and hands it to the file at once. Lines are indented by
// tabs and end with CR LF. Bytes pass unchanged except for the escaping of element text and attribute
// values (& > < " '); the writer converts nothing and knows nothing of double-byte characters, none of
// whose trail bytes can be one of the five escaped bytes in code page 932.
//
// Buffers: each line is built in the caller's buffer, from its first byte, and must fit it with its NUL;
// the escaped form of a value (and the value itself) holds at most 255 bytes; one formatted attribute
// (blank, name, =, quotes, escaped value) at most 255 bytes. A line that would not fit is not written and
// the call answers 0; nothing is ever written outside a buffer.
//
// Results: 1 when the file accepted the whole line, 0 when it did not (a file error, or a line that does
// not fit). After a file error the file is closed and the writer stays attached to it, so every later
// write answers 0 as well; Close stays safe.
//
// The file is written as a replacement (CFile::modeReplace): nothing reaches the path until Commit puts
// the whole file in its place (Close commits too, and answers 0); a file error, Discard, or a writer
// destroyed before either leaves what was at the path as it was, and no partial file anywhere.
//
// Buffered mode (SetBuffered(true); off after construction): complete lines are collected and handed to
// the file in writes of about 64 KB, when the collection is full, at Flush and at Commit. A line then
// answers 1 when it was collected (0 at once when the file is not open); a file error is answered by the
// write that meets it (a later line, or Flush).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "win32/file.h"

class ClXmlWriter {
 public:
  static constexpr std::size_t kEscapeSize = 256;
  static constexpr std::size_t kAttributeSize = 256;

  ClXmlWriter() = default;
  ~ClXmlWriter();
  ClXmlWriter(const ClXmlWriter&) = delete;
  ClXmlWriter& operator=(const ClXmlWriter&) = delete;

  // -1 when file or path is missing (nothing stored). Otherwise stores both, opens a replacement of the
  // path for writing and answers 0 whether or not that succeeded: a file that did not open fails at the
  // first write.
  std::int16_t Open(win32::CFile* file, const char* path);
  // Writes the text's bytes as they are (no line end added).
  int WriteLine(const char* text);
  // Turns buffered mode on or off (collected lines are flushed first when it goes off).
  void SetBuffered(bool on);
  // Hands the collected lines to the file: 1 when the file accepted them all (or there were none and it
  // is open), 0 when nothing is attached or after a file error.
  int Flush();
  // TABs <name attributes>escaped value</name> CR LF. Attribute 1 is written when both its name and
  // value are given; attribute 2 only when attribute 1 was written and both of its parts are given.
  int WriteElement(char* line, std::size_t line_size, const char* name, const char* value, int indent,
                   const char* attr_name1 = nullptr, const char* attr_value1 = nullptr,
                   const char* attr_name2 = nullptr, const char* attr_value2 = nullptr);
  // TABs <name attributes> CR LF.
  int WriteStartTag(char* line, std::size_t line_size, const char* name, int indent,
                    const char* attr_name1 = nullptr, const char* attr_value1 = nullptr,
                    const char* attr_name2 = nullptr, const char* attr_value2 = nullptr);
  // TABs </name> CR LF.
  int WriteEndTag(char* line, std::size_t line_size, const char* name, int indent);
  // Flushes and puts the written file in the path's place: 1 when it is there whole, 0 after any error
  // (of a write, the flush, the sync, the close or the rename; the path then stays as it was). Detaches
  // the file either way.
  int Commit();
  // Drops what was collected and discards the written file; the path stays as it was. Detaches the file.
  void Discard();
  // Commits, without reporting errors, and detaches the file. Answers 0; a second call does nothing.
  int Close();

  // The escaped copy of text in the writer's one escape area (overwritten by the next call), or null
  // when the text or its escaped form exceeds 255 bytes.
  const char* Escape(const char* text);

  // The longest leading part of value, cut between characters, whose escaped form holds at most
  // max_escaped bytes.
  static std::string FitEscaped(std::string_view value, std::size_t max_escaped);

  const std::string& Path() const { return m_strPath; }

 private:
  class LineBuilder;
  // Appends the attribute ` name="escaped value"` to the line; false when it does not fit.
  bool AppendAttribute(LineBuilder* line, const char* name, const char* value);
  // value null: a start tag.
  int WriteBuiltLine(char* line, std::size_t line_size, const char* name, int indent, const char* value,
                     bool end_tag_only, const char* attr_name1, const char* attr_value1,
                     const char* attr_name2, const char* attr_value2);

  // The bytes handed to the file at once; 0 after a file error (which closed it).
  int WriteBytes(const char* bytes, std::size_t count);

  static constexpr std::size_t kBufferSize = 64 * 1024;

  win32::CFile* m_pFile = nullptr;
  std::string m_strPath;
  bool m_bBuffered = false;
  std::string m_strBuffer;  // lines collected in buffered mode
  char m_szEscaped[kEscapeSize] = {};
};
