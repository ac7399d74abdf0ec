// The merged labels of one delivered job, as the printer would print them:
// what a double-click on a line of the print-jobs list (lbQ) opens. A window
// of its own, owned by Ferrulin's window and titled with the job's line: the
// labels one below the other, each scaled down to the window's width (never
// up), scrolled with the scroll bar, the mouse wheel or the keys (Up and
// Down by a line, Page Up and Page Down by a page, Home and End to the first
// and the last label), and the renderer's notes ("no preview for this
// design" for a job that is not ZPL) in a band under them. Escape closes it.
//
// Window thread only. Closing the window destroys it; the object stays, with
// a null handle(), until its owner lets it go.
#pragma once

#include "preview/win/label_painter.h"
#include "spooler/delivered_job.h"
#include "win/gdi_font.h"
#include "win/window_class.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace velmora::spooler::win {

class MergedJobWindow final {
public:
  static constexpr const wchar_t* kWindowClass = L"VelmoraMergedJob";

  // Draws `picture` (renderMergedJob's) and shows the window, titled with
  // the job's line, owned by `owner`.
  MergedJobWindow(HWND owner, const std::string& jobLine, const MergedJobPicture& picture);
  ~MergedJobWindow();
  MergedJobWindow(const MergedJobWindow&) = delete;
  MergedJobWindow& operator=(const MergedJobWindow&) = delete;

  // Null once the window is closed.
  HWND handle() const { return window_; }
  // The labels at printer resolution, and the notes shown, one a line.
  const std::vector<std::unique_ptr<preview::win::LabelBitmap>>& labels() const { return labels_; }
  const std::string& notesText() const { return notes_; }
  // How far the labels are scrolled up, in pixels.
  int scrollPosition() const { return scroll_; }

private:
  friend class velmora::win::WindowClass<MergedJobWindow>;
  LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // The client area without the notes band: where the labels are drawn.
  RECT pictureArea() const;
  // The labels' height, with the gaps around them, at the picture's width.
  int contentHeight(int pictureWidth) const;
  void updateScrollBar();
  void scrollTo(int position);
  void paint(HDC dc) const;

  std::vector<std::unique_ptr<preview::win::LabelBitmap>> labels_;
  std::string notes_;
  HWND window_ = nullptr;
  velmora::win::GdiFont font_; // the notes: Tahoma 8 pt
  int scroll_ = 0;
};

} // namespace velmora::spooler::win
