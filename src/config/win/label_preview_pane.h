// The label preview beside the design editor on the "Label Editor" page: the
// design merged with the test print's sample job and drawn as the printer
// would print it (DovetackModel::previewOf), redrawn a moment
// (kPreviewRedrawDelayMs) after each edit. A child window of its own class;
// the label at the zoom of previewDrawnSize, centred at the top, above the
// notes: "no preview for this design" for a design that is not ZPL, and
// what the renderer clamped or refused.
//
// The size and resolution where the design sets no ^PW / ^LL are the
// model's, chosen in the page (the main window's size boxes), which redraws
// the pane when they change. Window thread only; owned by the main window;
// the model outlives it.
#pragma once

#include "config/dovetack_model.h"
#include "preview/win/label_painter.h"
#include "win/window_class.h"

#include <windows.h>

#include <memory>
#include <string>

namespace velmora::config::win {

inline constexpr wchar_t kLabelPreviewClass[] = L"VelmoraLabelPreview";

class LabelPreviewPane final {
public:
  explicit LabelPreviewPane(const DovetackModel& model);
  ~LabelPreviewPane();
  LabelPreviewPane(const LabelPreviewPane&) = delete;
  LabelPreviewPane& operator=(const LabelPreviewPane&) = delete;

  HWND create(HWND parent, int id);
  HWND handle() const { return window_; }
  void setFont(HFONT font) { font_ = font; }

  // The design changed: redraw after kPreviewRedrawDelayMs (edits meanwhile
  // wait with it).
  void setDesignText(std::string text);
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

  const DovetackModel& model_;
  std::string designText_;
  std::unique_ptr<preview::win::LabelBitmap> label_;
  std::string notes_;
  HWND window_ = nullptr;
  HFONT font_ = nullptr;
};

} // namespace velmora::config::win
