// The line writer: line shapes, escaping, attributes, buffer limits and file failures.
#include "report/xml_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/report/report_fixture.h"
#include "win32/codepage.h"

namespace {

class XmlWriterTest : public ReportFolderTest {
 protected:
  std::string Written() const { return TempDir::Read(m_dir.Sub("out.xml")); }

  win32::CFile m_file;
  ClXmlWriter m_xml;
  char m_line[256] = {};
};

TEST_F(XmlWriterTest, EscapesTheFiveBytesAndPassesEverythingElse) {
  ASSERT_EQ(m_xml.Open(&m_file, "C:\\out.xml"), 0);
  // 表 95 5C and ソ 83 5C end in the backslash position, ポ 83 7C in the vertical bar's.
  const std::string double_byte = win32::Sjis("表ソポ｜科目");
  ASSERT_NE(double_byte.find('\\'), std::string::npos);
  ASSERT_NE(double_byte.find('|'), std::string::npos);
  EXPECT_EQ(m_xml.WriteElement(m_line, sizeof m_line, "X", "A&B<C>", 3), 1);
  EXPECT_EQ(m_xml.WriteElement(m_line, sizeof m_line, "Q", "\"'", 0), 1);
  EXPECT_EQ(m_xml.WriteElement(m_line, sizeof m_line, "J", double_byte.c_str(), 1), 1);
  EXPECT_EQ(m_xml.WriteElement(m_line, sizeof m_line, "NAME", "", 0), 1);
  EXPECT_EQ(m_xml.WriteElement(m_line, sizeof m_line, "T", "a\tb\r\nc\x01\xff", 0), 1);
  EXPECT_EQ(m_xml.WriteLine("<?raw & \"as is\"?>\r\n"), 1);
  m_xml.Close();
  EXPECT_EQ(Written(),
            "\t\t\t<X>A&amp;B&lt;C&gt;</X>\r\n"
            "<Q>&quot;&apos;</Q>\r\n"
            "\t<J>" +
                double_byte +
                "</J>\r\n"
                "<NAME></NAME>\r\n"
                "<T>a\tb\r\nc\x01\xff</T>\r\n"
                "<?raw & \"as is\"?>\r\n");
}

TEST_F(XmlWriterTest, AttributesNeedBothPartsAndTheFirstBeforeTheSecond) {
  ASSERT_EQ(m_xml.Open(&m_file, "C:\\out.xml"), 0);
  EXPECT_EQ(m_xml.WriteStartTag(m_line, sizeof m_line, "A", 0, "Count", nullptr), 1);
  EXPECT_EQ(m_xml.WriteStartTag(m_line, sizeof m_line, "B", 1, nullptr, "1", "Second", "2"), 1);
  EXPECT_EQ(m_xml.WriteStartTag(m_line, sizeof m_line, "C", 2, "Count", "   1"), 1);
  EXPECT_EQ(m_xml.WriteStartTag(m_line, sizeof m_line, "D", 0, "x", "1", "y", nullptr), 1);
  EXPECT_EQ(m_xml.WriteElement(m_line, sizeof m_line, "E", "v", 0, "x", "a<\"b\"", "y", "'"), 1);
  EXPECT_EQ(m_xml.WriteEndTag(m_line, sizeof m_line, "E", 4), 1);
  m_xml.Close();
  EXPECT_EQ(Written(),
            "<A>\r\n"
            "\t<B>\r\n"
            "\t\t<C Count=\"   1\">\r\n"
            "<D x=\"1\">\r\n"
            "<E x=\"a&lt;&quot;b&quot;\" y=\"&apos;\">v</E>\r\n"
            "\t\t\t\t</E>\r\n");
}

TEST_F(XmlWriterTest, LinesThatDoNotFitAreRefusedWithoutOverrun) {
  ASSERT_EQ(m_xml.Open(&m_file, "C:\\out.xml"), 0);
  // The escape area holds 255 bytes: a value of 255 plain bytes fits, 256 do not, and neither does a
  // shorter value whose escaped form is longer.
  const std::string fits(255, 'v');
  char wide[300];
  EXPECT_EQ(m_xml.WriteElement(wide, sizeof wide, "E", fits.c_str(), 0), 1);
  EXPECT_EQ(m_xml.WriteElement(wide, sizeof wide, "E", std::string(256, 'v').c_str(), 0), 0);
  EXPECT_EQ(m_xml.WriteElement(wide, sizeof wide, "E", std::string(52, '&').c_str(), 0), 0);
  // One formatted attribute holds at most 255 bytes: ` a="` and `"` around 250 bytes fit, 251 do not.
  EXPECT_EQ(m_xml.WriteStartTag(wide, sizeof wide, "A", 0, "a", std::string(250, 'v').c_str()), 1);
  EXPECT_EQ(m_xml.WriteStartTag(wide, sizeof wide, "E", 0, "a", std::string(251, 'v').c_str()), 0);

  // A line must fit its buffer with the NUL: "<E>12</E>\r\n" is 11 bytes.
  struct {
    char line[12];
    char guard[8];
  } area;
  std::memset(area.guard, 'G', sizeof area.guard);
  EXPECT_EQ(m_xml.WriteElement(area.line, sizeof area.line, "E", "12", 0), 1);
  EXPECT_EQ(m_xml.WriteElement(area.line, sizeof area.line, "E", "123", 0), 0);
  EXPECT_EQ(m_xml.WriteEndTag(area.line, sizeof area.line, "E", 12), 0);
  EXPECT_EQ(std::string(area.guard, sizeof area.guard), std::string(8, 'G'));
  // A refused line is not a file error: the writer goes on.
  EXPECT_EQ(m_xml.WriteLine("end\r\n"), 1);
  m_xml.Close();
  EXPECT_EQ(Written(),
            "<E>" + fits + "</E>\r\n<A a=\"" + std::string(250, 'v') + "\">\r\n<E>12</E>\r\nend\r\n");
}

TEST_F(XmlWriterTest, FitEscapedCutsBetweenCharactersByEscapedSize) {
  const std::string kanji = win32::Sjis("表表表");
  EXPECT_EQ(ClXmlWriter::FitEscaped(kanji, 5), kanji.substr(0, 4));
  EXPECT_EQ(ClXmlWriter::FitEscaped("a&b", 5), "a");
  EXPECT_EQ(ClXmlWriter::FitEscaped("a&b", 6), "a&");
  EXPECT_EQ(ClXmlWriter::FitEscaped("abc", 10), "abc");
  // A lead byte before one of the five bytes is no character, but the byte still escapes: it counts so.
  EXPECT_EQ(ClXmlWriter::FitEscaped("\x81&\x81&", 7), "\x81&");
}

TEST_F(XmlWriterTest, OpenNeedsFileAndPathAndReplacesOnlyAtTheEnd) {
  EXPECT_EQ(m_xml.Open(nullptr, "C:\\out.xml"), -1);
  EXPECT_EQ(m_xml.Open(&m_file, nullptr), -1);
  EXPECT_EQ(m_xml.WriteLine("x"), 0);  // nothing attached
  m_dir.Write("out.xml", "old contents that are longer");
  ASSERT_EQ(m_xml.Open(&m_file, "C:\\out.xml"), 0);
  EXPECT_EQ(m_xml.Path(), "C:\\out.xml");
  EXPECT_EQ(m_xml.WriteLine("new"), 1);
  EXPECT_EQ(Written(), "old contents that are longer");  // until the file is whole
  EXPECT_EQ(m_xml.Close(), 0);
  EXPECT_EQ(m_xml.Close(), 0);
  EXPECT_EQ(Written(), "new");
  EXPECT_TRUE(LeftTempFiles(m_dir.path()).empty());
  {  // a writer gone before Commit or Close: its lines never take the file's place
    win32::CFile file;
    ClXmlWriter unfinished;
    ASSERT_EQ(unfinished.Open(&file, "C:\\out.xml"), 0);
    EXPECT_EQ(unfinished.WriteLine("half"), 1);
  }
  EXPECT_EQ(Written(), "new");
  EXPECT_TRUE(LeftTempFiles(m_dir.path()).empty());
}

TEST_F(XmlWriterTest, MissingFolderFailsAtTheFirstWrite) {
  EXPECT_EQ(m_xml.Open(&m_file, "C:\\no such folder\\out.xml"), 0);
  EXPECT_EQ(m_xml.WriteLine("<?xml?>\r\n"), 0);
  EXPECT_EQ(m_xml.WriteStartTag(m_line, sizeof m_line, "R", 0), 0);
  EXPECT_EQ(m_xml.Commit(), 0);
  EXPECT_EQ(m_xml.Close(), 0);
  win32::CFileStatus status;
  EXPECT_FALSE(win32::CFile::GetStatus("C:\\no such folder", status));
}

// A full disk and a file-size limit, unbuffered and buffered: the failing write and every later one
// answer 0, Commit fails, and the path keeps what it held, with no temporary file left.
TEST_F(XmlWriterTest, AWriteFailureFailsEveryLaterWriteAndLeavesThePath) {
  SmallDisk disk(m_dir, "small", 8192);
  ASSERT_TRUE(disk.ok()) << disk.why();
  win32::Drives().Set({{"C", win32::DRIVE_FIXED, m_dir.path()}, {"F", win32::DRIVE_FIXED, disk.path()}});
  m_dir.Write("small/earlier.xml", std::string(8192, 'e'));  // fills the disk
  for (const bool buffered : {false, true}) {
    for (const bool full_disk : {false, true}) {
      SCOPED_TRACE(std::string(buffered ? "buffered" : "unbuffered") +
                   (full_disk ? ", full disk" : ", limit"));
      m_dir.Write("out.xml", "earlier");
      const char* path = full_disk ? "F:\\earlier.xml" : "C:\\out.xml";
      win32::CFile file;
      ClXmlWriter xml;
      ASSERT_EQ(xml.Open(&file, path), 0);
      xml.SetBuffered(buffered);
      {
        FileSizeLimit limit(20);
        EXPECT_EQ(xml.WriteElement(m_line, sizeof m_line, "A", "1", 0), buffered || !full_disk ? 1 : 0);
        EXPECT_EQ(xml.WriteElement(m_line, sizeof m_line, "B", "22", 0), buffered ? 1 : 0);  // past 20
        EXPECT_EQ(xml.Flush(), 0);
        EXPECT_EQ(xml.WriteLine("x"), 0);  // the file is closed now
      }
      EXPECT_EQ(xml.Commit(), 0);
      EXPECT_EQ(TempDir::Read(m_dir.Sub("out.xml")), "earlier");
      EXPECT_EQ(TempDir::Read(m_dir.Sub("small/earlier.xml")), std::string(8192, 'e'));
      EXPECT_TRUE(LeftTempFiles(m_dir.path()).empty());
      EXPECT_TRUE(LeftTempFiles(disk.path()).empty());
    }
  }
}

TEST_F(XmlWriterTest, BufferedLinesReachTheFileWhenTheBufferFillsAndAtCommit) {
  ASSERT_EQ(m_xml.Open(&m_file, "C:\\out.xml"), 0);
  m_xml.SetBuffered(true);
  std::string expected;
  for (int i = 0; i < 20000; ++i) {
    const std::string value = std::to_string(i);
    ASSERT_EQ(m_xml.WriteElement(m_line, sizeof m_line, "V", value.c_str(), 1), 1);
    expected += "\t<V>" + value + "</V>\r\n";
  }
  const std::vector<std::string> temp = LeftTempFiles(m_dir.path());
  ASSERT_EQ(temp.size(), 1u);
  const std::string before_commit = TempDir::Read(m_dir.Sub(temp[0]));
  EXPECT_FALSE(before_commit.empty());
  EXPECT_LT(before_commit.size(), expected.size());
  EXPECT_EQ(expected.compare(0, before_commit.size(), before_commit), 0);
  EXPECT_EQ(m_xml.Commit(), 1);
  EXPECT_EQ(Written(), expected);
}

}  // namespace
