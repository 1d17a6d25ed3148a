// The file class: opening modes and sharing, reading and writing, failures and their causes, status and
// removal, all through Windows paths over the drive table.
#include "win32/file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "win32/codepage.h"
#include "win32/drives.h"

namespace {

using win32::CFile;
using win32::CFileException;
using win32::CFileStatus;

class FileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_oldDrives = win32::Drives().Entries();
    win32::Drives().Set({{"C", win32::DRIVE_FIXED, m_dir.path()}});
  }
  void TearDown() override { win32::Drives().Set(m_oldDrives); }

  // The cause Write raised, or -1 when it raised nothing.
  static int WriteCause(CFile& file, const std::string& bytes) {
    try {
      file.Write(bytes.data(), static_cast<win32::UINT>(bytes.size()));
    } catch (const CFileException& e) {
      return e.m_cause;
    }
    return -1;
  }
  static int OpenCause(const char* path, win32::UINT flags) {
    CFile file;
    CFileException error;
    if (file.Open(path, flags, &error)) return CFileException::none;
    return error.m_cause;
  }

  TempDir m_dir;
  std::vector<win32::DriveEntry> m_oldDrives;
};

constexpr win32::UINT kCreate = CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive;
constexpr win32::UINT kRead = CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary;

TEST_F(FileTest, WritesAndReadsBytesUnderAWindowsName) {
  const std::string name = win32::Sjis("C:\\表\\科目.xml");  // 表 ends in 0x5C
  ASSERT_EQ(mkdir(m_dir.Sub("表").c_str(), 0755), 0);
  const std::string bytes("line\r\nand\n\x1A\0end", 15);
  {
    CFile file;
    ASSERT_TRUE(file.Open(name.c_str(), kCreate));
    EXPECT_EQ(WriteCause(file, bytes), -1);
    file.Close();
    EXPECT_FALSE(file.IsOpen());
  }
  EXPECT_EQ(TempDir::Read(m_dir.Sub("表/科目.xml")), bytes);
  CFile file;
  ASSERT_TRUE(file.Open(name.c_str(), kRead));
  char buf[64];
  EXPECT_EQ(file.Read(buf, sizeof buf), bytes.size());
  EXPECT_EQ(std::string(buf, bytes.size()), bytes);
  EXPECT_EQ(file.Read(buf, sizeof buf), 0u);
}

TEST_F(FileTest, CreateTruncatesUnlessToldNotTo) {
  m_dir.Write("a.txt", "0123456789");
  {
    CFile file;
    ASSERT_TRUE(file.Open("C:\\a.txt", CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite));
    char buf[4];
    EXPECT_EQ(file.Read(buf, 4), 4u);
    EXPECT_EQ(WriteCause(file, "xy"), -1);
  }
  EXPECT_EQ(TempDir::Read(m_dir.Sub("a.txt")), "0123xy6789");
  {
    CFile file;
    ASSERT_TRUE(file.Open("C:\\a.txt", kCreate));
  }
  EXPECT_EQ(TempDir::Read(m_dir.Sub("a.txt")), "");
}

TEST_F(FileTest, ExclusiveOpenRefusesOthersAndIsNotEmptiedByThem) {
  m_dir.Write("held.txt", "kept");
  CFile holder;
  ASSERT_TRUE(holder.Open("C:\\held.txt", CFile::modeRead | CFile::shareExclusive));
  EXPECT_EQ(OpenCause("C:\\held.txt", kCreate), CFileException::sharingViolation);
  EXPECT_EQ(OpenCause("C:\\held.txt", kRead), CFileException::sharingViolation);
  EXPECT_EQ(TempDir::Read(m_dir.Sub("held.txt")), "kept");
  holder.Close();
  EXPECT_EQ(OpenCause("C:\\held.txt", kRead), CFileException::none);

  // Shared readers do not block each other, but they block an exclusive writer.
  CFile reader1;
  CFile reader2;
  ASSERT_TRUE(reader1.Open("C:\\held.txt", kRead));
  ASSERT_TRUE(reader2.Open("C:\\held.txt", kRead));
  EXPECT_EQ(OpenCause("C:\\held.txt", kCreate), CFileException::sharingViolation);
}

TEST_F(FileTest, OpenFailuresNameTheirCause) {
  m_dir.Write("dir/file.txt", "x");
  EXPECT_EQ(OpenCause("C:\\missing.txt", kRead), CFileException::fileNotFound);
  EXPECT_EQ(OpenCause("C:\\nofolder\\x.txt", kRead), CFileException::badPath);
  EXPECT_EQ(OpenCause("C:\\nofolder\\x.txt", kCreate), CFileException::badPath);
  EXPECT_EQ(OpenCause("C:\\dir", kCreate), CFileException::accessDenied);
  EXPECT_EQ(OpenCause("C:\\dir", kRead), CFileException::accessDenied);
  EXPECT_EQ(OpenCause("Q:\\x.txt", kCreate), CFileException::badPath);  // no such drive
  EXPECT_EQ(OpenCause("", kCreate), CFileException::badPath);
  if (geteuid() != 0) {
    chmod(m_dir.Sub("dir/file.txt").c_str(), 0444);
    EXPECT_EQ(OpenCause("C:\\dir\\file.txt", kCreate), CFileException::accessDenied);
  }
  CFileException error;
  CFile file;
  EXPECT_FALSE(file.Open("C:\\missing.txt", kRead, &error));
  EXPECT_EQ(error.m_strFileName, "C:\\missing.txt");
  EXPECT_NE(error.m_lOsError, 0);
  // Writing on a file that did not open raises too.
  EXPECT_EQ(WriteCause(file, "x"), CFileException::invalidFile);
  EXPECT_THROW(file.Read(&error, 1), CFileException);
}

TEST_F(FileTest, FullDiskRaisesDiskFull) {
  SmallDisk disk(m_dir, "small", 4096);
  ASSERT_TRUE(disk.ok()) << disk.why();
  m_dir.Write("small/filler", std::string(4096, 'f'));
  CFile file;
  ASSERT_TRUE(file.Open("C:\\small\\full", kCreate));
  EXPECT_EQ(WriteCause(file, "x"), CFileException::diskFull);
  EXPECT_EQ(WriteCause(file, ""), -1);  // nothing to write: no call at all
}

// A FIFO or a device is never opened (it would block, or act): it fails at once with badPath, and
// GetStatus still sees it. A replacement takes the place of a link to one without opening it.
TEST_F(FileTest, FifosAndDevicesAreNeverOpened) {
  ASSERT_EQ(mkfifo(m_dir.Sub("fifo").c_str(), 0666), 0);
  ASSERT_EQ(symlink("/dev/null", m_dir.Sub("device").c_str()), 0);
  const struct {
    const char* path;
    win32::UINT flags;
    int cause;
  } cases[] = {
      {"C:\\fifo", kRead, CFileException::badPath},
      {"C:\\fifo", kCreate, CFileException::badPath},
      {"C:\\fifo", kCreate | CFile::modeReplace, CFileException::badPath},
      {"C:\\device", kRead, CFileException::badPath},
      {"C:\\device", kCreate, CFileException::badPath},
      {"C:\\device", kCreate | CFile::modeReplace, CFileException::badPath},  // written through: refused
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " " + std::to_string(c.flags));
    CFileException error;
    CFile file;
    EXPECT_EQ(file.Open(c.path, c.flags, &error), c.cause == CFileException::none);
    EXPECT_EQ(error.m_cause, c.cause);
    CFileStatus status;
    EXPECT_TRUE(CFile::GetStatus(c.path, status));
  }
  EXPECT_TRUE(win32::IsSpecialFile("C:\\fifo"));
  EXPECT_TRUE(win32::IsSpecialFile("C:\\device"));
}

TEST_F(FileTest, FileSizeLimitWritesWhatFitsThenRaises) {
  CFile file;
  ASSERT_TRUE(file.Open("C:\\limited.txt", kCreate));
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  const sighandler_t old_handler = signal(SIGXFSZ, SIG_IGN);
  rlimit limit = old;
  limit.rlim_cur = 10;
  setrlimit(RLIMIT_FSIZE, &limit);
  const int first = WriteCause(file, "123456");
  const int second = WriteCause(file, "789abc");  // a short write of 4, then no room
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, old_handler);
  EXPECT_EQ(first, -1);
  EXPECT_EQ(second, CFileException::diskFull);
  file.Close();
  EXPECT_EQ(TempDir::Read(m_dir.Sub("limited.txt")), "123456789a");
}

TEST_F(FileTest, GetStatusFollowsTheFileSearch) {
  m_dir.Write("data/b.xml", "12345");
  CFileStatus status;
  ASSERT_TRUE(CFile::GetStatus("C:\\data\\b.xml", status));
  EXPECT_EQ(status.m_size, 5);
  EXPECT_EQ(status.m_attribute & CFile::directory, 0);
  EXPECT_STREQ(status.m_szFullName, "C:\\data\\b.xml");
  ASSERT_TRUE(CFile::GetStatus("C:\\data", status));
  EXPECT_NE(status.m_attribute & CFile::directory, 0);
  EXPECT_FALSE(CFile::GetStatus("C:\\data\\", status));
  EXPECT_FALSE(CFile::GetStatus("C:\\", status));
  EXPECT_FALSE(CFile::GetStatus("C:", status));
  EXPECT_FALSE(CFile::GetStatus("C:\\data\\none.xml", status));
  EXPECT_FALSE(CFile::GetStatus("Q:\\x", status));
  // A name whose last byte is a trail byte 0x5C is not a trailing backslash.
  m_dir.Write("表", "x");
  EXPECT_TRUE(CFile::GetStatus(win32::Sjis("C:\\表").c_str(), status));
}

}  // namespace
