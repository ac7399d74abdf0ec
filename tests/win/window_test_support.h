// Driving real Win32 windows in a test program: running the thread's
// messages until a condition holds, taking a picture of a window's client
// area, and answering the message boxes that the code under test shows
// (reading their title and text, then pressing OK).
// Window thread (the test's own thread) only.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace velmora::test {

// Handles the thread's messages until `done` holds (checked after each
// batch) or `timeout` passes; returns whether `done` holds.
bool pumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));
// Handles the thread's messages for `duration`.
void pumpFor(std::chrono::milliseconds duration);

// The client area of `window` as it paints it (WM_PRINTCLIENT into a 32-bit
// DIB): one 0x00RRGGBB value a pixel, rows top down.
std::vector<std::uint32_t> clientPixels(HWND window);

// A message box as it was shown.
struct ShownBox {
  std::wstring title;
  std::wstring text;    // the first text of the box: its message
  std::wstring details; // the box's other texts, one a line (a task dialog's expanded information)
};

// While it exists, every message box this thread shows is read and closed
// with its OK button once it has been open for `openFor` (or a little more),
// from inside the box's own message loop.
class MessageBoxAnswerer final {
public:
  explicit MessageBoxAnswerer(std::chrono::milliseconds openFor = std::chrono::milliseconds(0));
  ~MessageBoxAnswerer();
  MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
  MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

  const std::vector<ShownBox>& boxes() const { return boxes_; }

private:
  static void CALLBACK check(HWND, UINT, UINT_PTR, DWORD);
  std::chrono::milliseconds openFor_;
  HWND seenBox_ = nullptr; // the box now open, and since when
  std::chrono::steady_clock::time_point seenSince_;
  std::vector<ShownBox> boxes_;
  UINT_PTR timer_ = 0;
};

} // namespace velmora::test
