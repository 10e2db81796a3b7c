#include "platform/os.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <csignal>
#include <system_error>

namespace talvor {

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
  return _isatty(_fileno(stream)) != 0;
#else
  return isatty(fileno(stream)) != 0;
#endif
}

std::filesystem::path ExecutablePath() {
#ifdef _WIN32
  wchar_t buffer[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  return n == 0 ? std::filesystem::path() : std::filesystem::path(std::wstring(buffer, n));
#else
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : p;
#endif
}

namespace {

// A signal handler can reach nothing but a flag of static storage; InterruptWatch is the
// only one that sets it up and reads it.
volatile std::sig_atomic_t interrupted = 0;

#ifndef _WIN32
extern "C" void NoteInterrupt(int) {
  interrupted = 1;
  // The next one ends the program.
  std::signal(SIGINT, SIG_DFL);
}
#endif

}  // namespace

InterruptWatch::InterruptWatch() {
  interrupted = 0;
#ifdef _WIN32
  // Not yet on Windows: Ctrl-C ends the program at once there (each record and row is
  // committed whole on its own, and the journal has it first).
#else
  // Without SA_RESTART: a read waiting for an answer at the terminal returns, so that the
  // routine goes on to its next status update.
  struct sigaction action {};
  action.sa_handler = NoteInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  sigaction(SIGINT, &action, nullptr);
#endif
}

InterruptWatch::~InterruptWatch() {
#ifndef _WIN32
  std::signal(SIGINT, SIG_DFL);
#endif
}

bool InterruptWatch::Interrupted() const { return interrupted != 0; }

}  // namespace talvor
