// An owned file descriptor: closed when its owner goes, unless released to a new owner first. Moving
// hands the descriptor over; an empty owner holds -1.
#pragma once

#include <unistd.h>

namespace win32 {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : m_fd(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : m_fd(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      Reset();
      m_fd = other.Release();
    }
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int Get() const { return m_fd; }
  bool Valid() const { return m_fd >= 0; }
  // The descriptor, no longer owned here.
  int Release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
  }
  // Closes the descriptor held, if any.
  void Reset() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
  }

 private:
  int m_fd = -1;
};

}  // namespace win32
