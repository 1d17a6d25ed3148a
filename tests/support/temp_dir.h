// A temporary folder for a test, removed with its contents at the end.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  // path() + "/" + relative
  std::string Sub(const std::string& relative) const { return path_ + "/" + relative; }
  // Writes a file (creating its folders) and answers its full path.
  std::string Write(const std::string& relative, const std::string& bytes) const;
  static std::string Read(const std::string& path);

 private:
  std::string path_;
};

// The temporary files of replaced files (".uchiwake-*") left in a folder.
std::vector<std::string> LeftTempFiles(const std::string& folder);

// A small tmpfs mounted on a new folder of a TempDir, for a disk that really fills up (CI runs as root);
// unmounted at the end. ok() is false, with why() saying so, when the mount was refused.
class SmallDisk {
 public:
  SmallDisk(const TempDir& dir, const std::string& relative, std::size_t bytes);
  ~SmallDisk();
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  bool ok() const { return m_bMounted; }
  const std::string& why() const { return m_strWhy; }
  const std::string& path() const { return m_strPath; }

 private:
  std::string m_strPath;
  std::string m_strWhy;
  bool m_bMounted = false;
};
