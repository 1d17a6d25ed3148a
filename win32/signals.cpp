// The cancel handler for the signals from outside, its prepared state, and the test stops.
#include "win32/signals.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "win32/starter.h"

namespace win32 {

namespace {

static_assert(sizeof(sigset_t) <= sizeof(unsigned long[16]), "SignalsBlocked keeps a sigset_t");

// The signals whose default action ends the process and that come from outside (the real-time signals
// are added where the set is built); see the header for those left out.
constexpr int kSignals[] = {SIGTERM,   SIGINT,  SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2,  SIGALRM,
                            SIGVTALRM, SIGPROF, SIGIO,  SIGXCPU, SIGPWR,  SIGSTKFLT};
constexpr int kTempSlots = 8;
constexpr int kNotices = 3;

enum State : int { kRunning = 0, kSignalEnding = 1, kNormalEnding = 2 };

// Everything the handler reads is written before it can be needed and read with plain loads: texts in
// fixed arrays, a slot becomes visible only through its flag.
struct TempSlot {
  std::atomic<bool> used{false};
  char path[PATH_MAX] = {};
};

struct Notice {
  sockaddr_un addr{};
  socklen_t addr_len = 0;
  char texts[kNotices][64] = {};
  std::size_t lengths[kNotices] = {};
};

std::atomic<int> g_state{kRunning};
std::atomic<bool> g_installed{false};
std::atomic<bool> g_noticeReady{false};
std::atomic<long> g_resultInPlace{-1};
std::atomic<int> g_statusLineFd{-1};
pid_t g_mainThread = 0;
Notice g_notice;
UINT g_message = 0;
WPARAM g_wparam = 0;
TempSlot g_temps[kTempSlots];

sigset_t CancelSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : kSignals) sigaddset(&set, sig);
  for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) sigaddset(&set, sig);
  return set;
}

std::size_t FormatNotice(char* out, std::size_t size, const char* prefix, long long a, long long b,
                         long long c);

// The temporary files removed, an open status line ended, the window told. Async-signal-safe.
void CleanUpAndTell() {
  for (TempSlot& slot : g_temps)
    if (slot.used.load()) unlink(slot.path);
  const int line = g_statusLineFd.load();
  if (line >= 0) {
    const ssize_t n = write(line, "\n", 1);
    static_cast<void>(n);
  }
  if (!g_noticeReady.load()) return;
  // A window whose queue is full is waited for a while: the datagrams share the final notice's time.
  const long long deadline = StarterClockMs() + kStarterFinalWaitMs;
  for (int i = 0; i < kNotices; ++i)
    SendToStarter(g_notice.addr, g_notice.addr_len, g_notice.texts[i], g_notice.lengths[i], deadline);
}

void OnCancelSignal(int sig) {
  const int saved_errno = errno;
  // Handled on the main thread only, where the critical steps block the signals.
  if (static_cast<pid_t>(syscall(SYS_gettid)) != g_mainThread) {
    syscall(SYS_tgkill, getpid(), g_mainThread, sig);
    errno = saved_errno;
    return;
  }
  int expected = kRunning;
  if (!g_state.compare_exchange_strong(expected, kSignalEnding)) {
    // The normal ending is under way: it sends its own result.
    errno = saved_errno;
    return;
  }
  CleanUpAndTell();
  // Ended by the same signal, as if it had not been caught: its default action, unblocked, raised again.
  struct sigaction by_default {};
  by_default.sa_handler = SIG_DFL;
  sigemptyset(&by_default.sa_mask);
  sigaction(sig, &by_default, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, sig);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);
  raise(sig);
  _exit(128 + sig);  // not reached: every handled signal ends the process by default
}

// Rewrites the result of the prepared notice; called with the signals blocked.
void WriteNoticeResult(long long result) {
  Notice& n = g_notice;
  n.lengths[2] = FormatNotice(n.texts[2], sizeof n.texts[2], "POST", static_cast<std::int32_t>(g_message),
                              static_cast<std::int32_t>(g_wparam), result);
}

// "<prefix> a b c" in out; its length, 0 when it does not fit. Called when the notice is prepared, never
// in the handler.
std::size_t FormatNotice(char* out, std::size_t size, const char* prefix, long long a, long long b,
                         long long c) {
  const int n = std::snprintf(out, size, "%s %lld %lld %lld", prefix, a, b, c);
  return n > 0 && static_cast<std::size_t>(n) < size ? static_cast<std::size_t>(n) : 0;
}

}  // namespace

void InstallCancelSignals() {
  if (g_installed.exchange(true)) return;
  g_mainThread = static_cast<pid_t>(syscall(SYS_gettid));
  struct sigaction action {};
  action.sa_handler = OnCancelSignal;
  action.sa_mask = CancelSet();
  action.sa_flags = SA_RESTART;
  for (int sig = 1; sig < NSIG; ++sig) {
    if (sigismember(&action.sa_mask, sig) != 1) continue;
    // A signal the caller ignored (nohup, a background job) stays ignored.
    struct sigaction old {};
    if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    sigaction(sig, &action, nullptr);
  }
}

void PrepareCancelNotice(HWND window, UINT message, WPARAM wparam) {
  g_noticeReady.store(false);
  Notice& n = g_notice;
  n.addr_len = StarterSocketAddress(window, &n.addr);
  if (n.addr_len == 0) return;
  std::strcpy(n.texts[0], "FOREGROUND");
  n.lengths[0] = std::strlen(n.texts[0]);
  std::strcpy(n.texts[1], "ENABLE 1");
  n.lengths[1] = std::strlen(n.texts[1]);
  g_message = message;
  g_wparam = wparam;
  n.lengths[2] = FormatNotice(n.texts[2], sizeof n.texts[2], "POST", static_cast<std::int32_t>(message),
                              static_cast<std::int32_t>(wparam), 1);
  g_noticeReady.store(true);
}

void SetSignalEndingResult(LPARAM result) {
  if (!g_noticeReady.load()) return;
  // Rewritten with the signals held back, so that the handler never sends a half-written text.
  SignalsBlocked blocked;
  WriteNoticeResult(static_cast<long long>(result));
}

void SetSignalEndingResultInPlace(LPARAM result) { g_resultInPlace.store(result < 0 ? -1 : result); }

void EndRunAtOnce(LPARAM result, int status) {
  SignalsBlocked blocked;
  int expected = kRunning;
  if (g_state.compare_exchange_strong(expected, kSignalEnding) || expected == kNormalEnding) {
    if (g_noticeReady.load()) WriteNoticeResult(static_cast<long long>(result));
    CleanUpAndTell();
  }
  _exit(status);
}

bool BeginNormalEnding() {
  int expected = kRunning;
  return g_state.compare_exchange_strong(expected, kNormalEnding) || expected == kNormalEnding;
}

int RegisterTempFile(const std::string& linux_path) {
  if (linux_path.size() >= PATH_MAX) return -1;
  for (int i = 0; i < kTempSlots; ++i) {
    TempSlot& slot = g_temps[i];
    if (slot.used.load()) continue;
    std::memcpy(slot.path, linux_path.c_str(), linux_path.size() + 1);
    slot.used.store(true);
    return i;
  }
  return -1;
}

void UnregisterTempFile(int slot) {
  if (slot >= 0 && slot < kTempSlots) g_temps[slot].used.store(false);
}

void TempFileInPlace(int slot) {
  UnregisterTempFile(slot);
  const long result = g_resultInPlace.exchange(-1);
  if (result >= 0) SetSignalEndingResult(static_cast<LPARAM>(result));
}

void SetOpenStatusLine(int fd) { g_statusLineFd.store(fd); }

SignalsBlocked::SignalsBlocked() {
  const sigset_t set = CancelSet();
  pthread_sigmask(SIG_BLOCK, &set, reinterpret_cast<sigset_t*>(m_oldMask));
}

SignalsBlocked::~SignalsBlocked() {
  pthread_sigmask(SIG_SETMASK, reinterpret_cast<sigset_t*>(m_oldMask), nullptr);
}

void TestStop(const char* name) {
  static const char* const wanted = std::getenv("UCHIWAKE_TEST_STOP");
  if (wanted == nullptr || name == nullptr) return;
  const std::size_t len = std::strlen(name);
  if (std::strncmp(wanted, name, len) != 0 || (wanted[len] != '\0' && wanted[len] != ':')) return;
  static long reached = 0;
  const long at = wanted[len] == ':' ? std::atol(wanted + len + 1) : 1;
  if (++reached == at) raise(SIGSTOP);
}

}  // namespace win32
