#include "win/message_box.h"

#include "win/wide_text.h"

#include <commctrl.h>

namespace velmora::win {

int messageBox(HWND owner, std::string_view title, std::string_view text, UINT type) {
  return ::MessageBoxW(owner, toWide(text).c_str(), toWide(title).c_str(), type);
}

namespace {

using TaskDialogIndirectFunction = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);

// Task dialogs are in version 6 of the common controls only (the one the
// programs' manifest asks for): looked up, not imported, so that a program
// without that manifest still starts and shows the plain box.
TaskDialogIndirectFunction taskDialogIndirect() {
  const HMODULE controls = ::GetModuleHandleW(L"comctl32.dll");
  if (!controls)
    return nullptr;
  return reinterpret_cast<TaskDialogIndirectFunction>(
      reinterpret_cast<void (*)()>(::GetProcAddress(controls, "TaskDialogIndirect")));
}

// Shows a task dialog with one OK button; false when the system has none or
// it could not be shown.
bool okTaskDialog(HWND owner, std::string_view title, std::string_view text, PCWSTR icon,
                  std::string_view details) {
  const auto show = taskDialogIndirect();
  if (!show)
    return false;
  const std::wstring wideTitle = toWide(title);
  const std::wstring wideText = toWide(text);
  const std::wstring wideDetails = toWide(details);
  TASKDIALOGCONFIG config{};
  config.cbSize = sizeof config;
  config.hwndParent = owner;
  config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION;
  config.dwCommonButtons = TDCBF_OK_BUTTON;
  config.pszWindowTitle = wideTitle.c_str();
  config.pszMainIcon = icon;
  config.pszContent = wideText.c_str();
  if (!details.empty())
    config.pszExpandedInformation = wideDetails.c_str();
  return SUCCEEDED(show(&config, nullptr, nullptr, nullptr));
}

} // namespace

void plainBox(HWND owner, std::string_view title, std::string_view text) {
  if (!okTaskDialog(owner, title, text, nullptr, {}))
    messageBox(owner, title, text, MB_OK);
}

void errorBox(HWND owner, std::string_view title, std::string_view text, std::string_view details) {
  if (details.empty() || !okTaskDialog(owner, title, text, TD_ERROR_ICON, details))
    messageBox(owner, title, text, MB_OK | MB_ICONSTOP);
}

} // namespace velmora::win
