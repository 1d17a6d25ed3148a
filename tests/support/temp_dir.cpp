#include "tests/support/temp_dir.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string templ = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/uwtest-XXXXXX";
  if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = templ;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Give back write permission where a test took it away, so that everything can be removed.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) chmod(it->path().c_str(), 0755);
  }
  chmod(path_.c_str(), 0755);
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::Write(const std::string& relative, const std::string& bytes) const {
  const std::string full = Sub(relative);
  std::filesystem::create_directories(std::filesystem::path(full).parent_path());
  std::ofstream out(full, std::ios::binary | std::ios::trunc);
  out << bytes;
  return full;
}

std::string TempDir::Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

SmallDisk::SmallDisk(const TempDir& dir, const std::string& relative, std::size_t bytes)
    : m_strPath(dir.Sub(relative)) {
  std::filesystem::create_directories(m_strPath);
  const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
  if (mount("tmpfs", m_strPath.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0)
    m_bMounted = true;
  else
    m_strWhy = "mounting a tmpfs on " + m_strPath + " was refused: " + std::strerror(errno);
}

SmallDisk::~SmallDisk() {
  if (m_bMounted) umount2(m_strPath.c_str(), MNT_DETACH);
}

std::vector<std::string> LeftTempFiles(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(".uchiwake-", 0) == 0) names.push_back(name);
  }
  return names;
}
