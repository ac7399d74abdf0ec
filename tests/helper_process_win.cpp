// HelperProcess on Windows: CreateProcessW of this program's own file with
// two anonymous pipes as its standard input and output.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "helper_process.h"

#include <stdexcept>
#include <system_error>
#include <utility>

namespace velmora::test {
namespace {

[[noreturn]] void fail(const char* what) {
  throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), what);
}

// One argument quoted the way the C runtime splits a command line.
std::wstring quoted(const std::wstring& argument) {
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

std::wstring widen(const std::string& text) {
  if (text.empty())
    return {};
  const int size = static_cast<int>(text.size());
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
  return wide;
}

void closeHandle(HANDLE& handle) {
  if (handle != nullptr)
    ::CloseHandle(handle);
  handle = nullptr;
}

} // namespace

struct HelperProcess::State {
  HANDLE process = nullptr;
  HANDLE input = nullptr;  // the child's standard input, our end
  HANDLE output = nullptr; // the child's standard output, our end
  std::string buffered;
  int exitCode = -1;
};

HelperProcess::HelperProcess(const std::vector<std::string>& arguments)
    : state_(std::make_unique<State>()) {
  wchar_t self[32768];
  const DWORD length = ::GetModuleFileNameW(nullptr, self, 32768);
  if (length == 0 || length >= 32768)
    fail("GetModuleFileNameW");
  std::wstring commandLine = quoted(self) + L" --velmora-helper";
  for (const auto& argument : arguments)
    commandLine += L" " + quoted(widen(argument));

  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE childInput = nullptr;
  HANDLE childOutput = nullptr;
  if (!::CreatePipe(&childInput, &state_->input, &inheritable, 0))
    fail("CreatePipe");
  if (!::CreatePipe(&state_->output, &childOutput, &inheritable, 0))
    fail("CreatePipe");
  ::SetHandleInformation(state_->input, HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(state_->output, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = childInput;
  startup.hStdOutput = childOutput;
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION started{};
  const BOOL ok = ::CreateProcessW(self, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                   nullptr, &startup, &started);
  const DWORD error = ::GetLastError();
  closeHandle(childInput);
  closeHandle(childOutput);
  if (!ok) {
    ::SetLastError(error);
    fail("CreateProcessW");
  }
  ::CloseHandle(started.hThread);
  state_->process = started.hProcess;
}

HelperProcess::~HelperProcess() {
  wait();
  closeHandle(state_->output);
}

std::string HelperProcess::readLine() {
  for (;;) {
    const auto end = state_->buffered.find('\n');
    if (end != std::string::npos) {
      std::string line = state_->buffered.substr(0, end);
      state_->buffered.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r')
        line.pop_back();
      return line;
    }
    char chunk[256];
    DWORD got = 0;
    if (!::ReadFile(state_->output, chunk, sizeof chunk, &got, nullptr) || got == 0)
      return std::exchange(state_->buffered, {});
    state_->buffered.append(chunk, got);
  }
}

void HelperProcess::writeLine(std::string_view line) {
  const std::string text = std::string(line) + "\n";
  DWORD put = 0;
  ::WriteFile(state_->input, text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
}

int HelperProcess::wait() {
  closeHandle(state_->input);
  if (state_->process != nullptr) {
    ::WaitForSingleObject(state_->process, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(state_->process, &code);
    state_->exitCode = static_cast<int>(code);
    closeHandle(state_->process);
  }
  return state_->exitCode;
}

} // namespace velmora::test
