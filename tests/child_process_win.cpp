// ChildProcess on Windows: CreateProcessW with three anonymous pipes.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "child_process.h"

#include <cwchar>
#include <map>
#include <stdexcept>
#include <system_error>

namespace velmora::test {

struct ChildProcess::Native {
  HANDLE process = nullptr;
  HANDLE input = nullptr;  // the child's standard input, our end
  HANDLE output = nullptr; // the child's standard output, our end
  HANDLE errors = nullptr; // the child's standard error, our end
  std::optional<int> exitCode;
};

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

std::string narrow(const std::wstring& text) {
  if (text.empty())
    return {};
  const int size = static_cast<int>(text.size());
  const int length =
      ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), length, nullptr, nullptr);
  return out;
}

void closeHandle(HANDLE& handle) {
  if (handle != nullptr)
    ::CloseHandle(handle);
  handle = nullptr;
}

// The test's environment with `extra` set on top, as a block for CreateProcessW.
std::wstring environmentBlock(const std::vector<std::pair<std::string, std::string>>& extra) {
  std::map<std::wstring, std::wstring> variables;
  wchar_t* own = ::GetEnvironmentStringsW();
  for (const wchar_t* entry = own; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
    const std::wstring text(entry);
    const std::size_t equals = text.find(L'=', 1);
    if (equals != std::wstring::npos)
      variables[text.substr(0, equals)] = text.substr(equals + 1);
  }
  ::FreeEnvironmentStringsW(own);
  for (const auto& [name, value] : extra)
    variables[widen(name)] = widen(value);
  std::wstring block;
  for (const auto& [name, value] : variables)
    block += name + L"=" + value + L'\0';
  return block + L'\0';
}

} // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const Options& options)
    : native_(std::make_unique<Native>()) {
  const std::wstring programPath = widen(program);
  std::wstring commandLine = quoted(programPath);
  for (const auto& argument : arguments)
    commandLine += L" " + quoted(widen(argument));

  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE childInput = nullptr;
  HANDLE childOutput = nullptr;
  HANDLE childErrors = nullptr;
  if (!::CreatePipe(&childInput, &native_->input, &inheritable, 0) ||
      !::CreatePipe(&native_->output, &childOutput, &inheritable, 0) ||
      !::CreatePipe(&native_->errors, &childErrors, &inheritable, 0))
    fail("CreatePipe");
  ::SetHandleInformation(native_->input, HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(native_->output, HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(native_->errors, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = childInput;
  startup.hStdOutput = childOutput;
  startup.hStdError = childErrors;
  std::wstring environment;
  if (!options.environment.empty())
    environment = environmentBlock(options.environment);
  const std::wstring directory = widen(options.workingDirectory);
  PROCESS_INFORMATION started{};
  const BOOL ok = ::CreateProcessW(
      programPath.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
      environment.empty() ? nullptr : environment.data(),
      directory.empty() ? nullptr : directory.c_str(), &startup, &started);
  const DWORD error = ::GetLastError();
  closeHandle(childInput);
  closeHandle(childOutput);
  closeHandle(childErrors);
  if (!ok) {
    ::SetLastError(error);
    fail("CreateProcessW");
  }
  ::CloseHandle(started.hThread);
  native_->process = started.hProcess;
  outputReader_ = std::thread([this] { readOutput(); });
  errorReader_ = std::thread([this] { readErrors(); });
}

ChildProcess::~ChildProcess() {
  closeInput();
  if (running())
    ::TerminateProcess(native_->process, 1);
  wait(std::chrono::seconds(10));
  joinReaders();
  closeHandle(native_->process);
  closeHandle(native_->output);
  closeHandle(native_->errors);
}

std::unique_ptr<ChildProcess> ChildProcess::helper(const std::vector<std::string>& arguments) {
  wchar_t self[32768];
  const DWORD length = ::GetModuleFileNameW(nullptr, self, 32768);
  if (length == 0 || length >= 32768)
    fail("GetModuleFileNameW");
  std::vector<std::string> all{"--velmora-helper"};
  all.insert(all.end(), arguments.begin(), arguments.end());
  return std::make_unique<ChildProcess>(narrow(std::wstring(self, length)), all);
}

std::size_t ChildProcess::readPipe(bool errors, char* buffer, std::size_t size) {
  DWORD got = 0;
  if (!::ReadFile(errors ? native_->errors : native_->output, buffer, static_cast<DWORD>(size),
                  &got, nullptr))
    return 0;
  return got;
}

void ChildProcess::writeLine(std::string_view line) {
  const std::string text = std::string(line) + "\n";
  DWORD put = 0;
  if (native_->input != nullptr)
    ::WriteFile(native_->input, text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
}

void ChildProcess::closeInput() {
  closeHandle(native_->input);
}

void ChildProcess::signal(int) {
  terminate();
}

void ChildProcess::terminate() {
  if (running())
    ::TerminateProcess(native_->process, 1);
}

int ChildProcess::pid() const {
  return static_cast<int>(::GetProcessId(native_->process));
}

bool ChildProcess::running() {
  if (native_->exitCode)
    return false;
  if (::WaitForSingleObject(native_->process, 0) != WAIT_OBJECT_0)
    return true;
  DWORD code = 0;
  ::GetExitCodeProcess(native_->process, &code);
  native_->exitCode = static_cast<int>(code);
  return false;
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout) {
  if (!native_->exitCode) {
    const auto wanted = timeout.count() < 0 ? 0 : timeout.count();
    const DWORD limit =
        wanted >= static_cast<long long>(INFINITE) ? INFINITE - 1 : static_cast<DWORD>(wanted);
    if (::WaitForSingleObject(native_->process, limit) != WAIT_OBJECT_0)
      return std::nullopt;
    running(); // keeps the exit code
  }
  joinReaders(); // the pipes close with the process
  return native_->exitCode;
}

} // namespace velmora::test
