// A temporary folder for a test, removed with its contents at the end.
#pragma once

#include <string>

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
