#include "spooler/win/ferrulin_exe.h"

#include "win/wide_text.h"

#include <shellapi.h>

#include <utility>

namespace velmora::spooler::win {

FerrulinExe::FerrulinExe(std::vector<std::string> arguments, KeptWindowLines kept)
    : window_(loop_), program_(loop_, window_, std::move(arguments), kept) {}

void FerrulinExe::start() {
  window_.show();
}

int FerrulinExe::run() {
  return loop_.run();
}

std::vector<std::string> commandLineArguments() {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** split = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!split)
    return arguments;
  for (int i = 1; i < count; ++i)
    arguments.push_back(velmora::win::fromWide(split[i]));
  ::LocalFree(split);
  return arguments;
}

} // namespace velmora::spooler::win
