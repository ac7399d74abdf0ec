// The label preview beside the design editor on the "Label Editor" page: the
// design merged with the test print's sample job and drawn as the printer
// would print it (config/design_preview.h), redrawn a moment
// (kRedrawDelayMs) after each edit. A child window of its own class; the
// label scaled to its width above the notes: "no preview for this design"
// for a design that is not ZPL, and what the renderer clamped or refused.
//
// The size and resolution where the design sets no ^PW / ^LL are chosen in
// the page (the main window's drop-down lists) for this session only.
// Window thread only; owned by the main window.
#pragma once

#include "preview/win/label_painter.h"
#include "preview/zpl_renderer.h"
#include "win/window_class.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace velmora::config::win {

inline constexpr wchar_t kLabelPreviewClass[] = L"VelmoraLabelPreview";

class LabelPreviewPane final {
public:
  static constexpr UINT kRedrawDelayMs = 150;

  // `sampleTime` gives the text of the sample job's time line at each redraw.
  explicit LabelPreviewPane(std::function<std::string()> sampleTime);
  ~LabelPreviewPane();
  LabelPreviewPane(const LabelPreviewPane&) = delete;
  LabelPreviewPane& operator=(const LabelPreviewPane&) = delete;

  HWND create(HWND parent, int id);
  HWND handle() const { return window_; }
  void setFont(HFONT font) { font_ = font; }

  // The design changed: redraw after kRedrawDelayMs (edits meanwhile wait
  // with it).
  void setDesignText(std::string text);
  // The label's size and resolution where the design sets none.
  void setOptions(const preview::RenderOptions& options);
  const preview::RenderOptions& options() const { return options_; }
  // Redraws now.
  void redraw();

  // What the pane shows: the label at printer resolution (null when there
  // is no preview) and the notes under it, one a line.
  const preview::win::LabelBitmap* label() const { return label_.get(); }
  const std::string& notesText() const { return notes_; }

private:
  friend class velmora::win::WindowClass<LabelPreviewPane>;
  LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void paint(HDC dc);

  std::function<std::string()> sampleTime_;
  std::string designText_;
  preview::RenderOptions options_;
  std::unique_ptr<preview::win::LabelBitmap> label_;
  std::string notes_;
  HWND window_ = nullptr;
  HFONT font_ = nullptr;
};

} // namespace velmora::config::win
