// Dovetack's main window TfrmMain on the Windows API. Caption "Velmora
// Rizizar Configerator", client area 633 x 447 (scaled by the monitor's
// DPI), centred; the tab control pageMain with the pages "Setup" (the
// printer grid gridConfig, a report-mode list view; the fields of the
// selected row with the printer choice boxes and their type-ahead; the help
// texts; the program picture; "&Save && Activate"; "Setup RM Labels") and
// "Label Editor" (the tag list, the multi-line design editor, the label
// preview beside it above the label size it falls back on, "&Revert to
// Last", "&Save Design", "Test &Print" and the test printer choice); and a
// status bar whose right-hand pane is a clock.
//
// The window is thin: it shows what the program's DovetackModel holds and
// forwards every click, choice and edit to one of its actions, which show
// their own errors and messages, as the Qt window does. Its controls are
// private; each has a fixed id (ControlId), by which control() and
// controlOf() (GetDlgItem) find it for the tests and the driver. Each page
// is built and laid out by functions of its own. The model and the about box
// belong to the program and outlive the window. Window thread only.
#pragma once

#include "config/dovetack_model.h"
#include "config/printer_configuration.h"
#include "config/win/label_preview_pane.h"
#include "config/win/window_text.h"
#include "win/window_class.h"

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace velmora::config::win {

class TAboutBox;

// The window class of the main window, by which other programs (the window
// tests' driver) find it.
inline constexpr wchar_t kMainWindowClass[] = L"VelmoraDovetackMain";

// The controls' ids, for WM_COMMAND and GetDlgItem. The fields of the
// selected row follow LookSource in the order of kRowFieldControls.
enum class ControlId : int {
  PageMain = 1000,
  GridConfig,
  LookSource,
  LookDest,
  LookBackup,
  EditLabelsText,
  EditMapText,
  EditTimeText,
  EditTotalText,
  EditDesign,
  BtnAddPrinter,
  BtnDeletePrinter,
  BtnSetupSave,
  BtnSetupRM,
  BtnHealthCheck,
  ProgramIcon,
  ListTags,
  ReLabelDesign,
  BtnLoadLast,
  BtnSaveDesign,
  BtnTestDesign,
  LookTestPrinter,
  StatusBar,
  LabelPreview,
  PreviewWidth,  // the label's width where the design sets no ^PW
  PreviewLength, // its length where the design sets no ^LL
  PreviewDpi,    // the printer's resolution
  PreviewWidthArrows,
  PreviewLengthArrows,
  DesignCaption,      // "Design File Name:", disabled with its field
  TestPrinterCaption, // "Test printer:" before the test printer choice
  FirstText = 1100,   // the other captions, headings and help texts
};

// The control `id` of a main window (of this program or another).
inline HWND controlOf(HWND mainWindow, ControlId id) {
  return ::GetDlgItem(mainWindow, static_cast<int>(id));
}

class TfrmMain final {
public:
  TfrmMain(HINSTANCE instance, DovetackModel& model);
  ~TfrmMain();
  TfrmMain(const TfrmMain&) = delete;
  TfrmMain& operator=(const TfrmMain&) = delete;

  // Makes the window (hidden, centred) and runs the start-up sequence.
  void create();
  HWND handle() const { return window_; }
  HWND control(ControlId id) const { return controlOf(window_, id); }
  LabelPreviewPane& labelPreview() { return labelPreview_; }
  void setAboutBox(TAboutBox* aboutBox) { aboutBox_ = aboutBox; }
  // Closing the window then ends the message loop (PostQuitMessage).
  void endProgramOnClose() { endsProgram_ = true; }
  // What the message loop does with each message before dispatching it:
  // the window's keys (Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+PgDn and Ctrl+PgUp
  // switch pages, F1 shows the about box) and the dialog keys (Tab,
  // Shift+Tab, Alt+letter). True when the message was handled so.
  bool preTranslateMessage(MSG& message);

  // ---- handlers, as the controls call them
  void FormCreate();
  // Whether the window may close: asks first when work is unsaved.
  bool FormCloseQuery();
  void btnAddPrinterClick();
  void btnDeletePrinterClick();
  void btnSetupSaveClick();
  void btnSetupRMClick();
  void btnHealthCheckClick();
  void btnLoadLastClick();
  void btnSaveDesignClick();
  void btnTestDesignClick();
  void listTagsDblClick();
  void ProgramIconDblClick();

  // The clock pane's text now: the user's short date, then long time.
  static std::string clockText();
  // The test print's time text now, in the user's locale (the model's
  // sample time).
  static std::string testPrintTimeNow();

private:
  // A control of the selected row's fields with its caption.
  struct RowField {
    const RowFieldControl* description;
    HWND control;
    HWND caption;
    PrinterTypeAhead typeAhead; // printer choices only
    DWORD lastKey = 0;
  };

  friend class velmora::win::WindowClass<TfrmMain>;
  static LRESULT CALLBACK choiceBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR id, DWORD_PTR data);
  LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  HWND addControl(const wchar_t* className, const std::wstring& text, DWORD style, ControlId id,
                  DWORD exStyle = 0);
  // A static text of its own id (ControlId::FirstText on).
  HWND addText(std::string_view text);
  int atDpi(int pixels) const { return scaled(pixels, dpi_); }

  // Building, in tab order: the page control, the "Setup" page (the printer
  // panel on the left, the help panel on the right), the "Label Editor" page
  // (the tag list, the editor, its buttons, the preview and its size), the
  // status bar and the hints.
  void createControls();
  void buildPageControl();
  void buildSetupPage();
  void buildPrinterGrid();
  void buildRowFields();
  void buildPrinterButtons();
  void buildHelpPanel();
  void buildLabelEditorPage();
  void buildTagList();
  void buildDesignEditor();
  void buildDesignButtons();
  void buildPreview();
  HWND buildInchesBox(ControlId box, ControlId arrows);
  void buildStatusBar();
  void buildHints();

  // Laying out at the window's DPI: the frame (status bar, page control)
  // gives the pages' area, which each page fills.
  void applyDpi(UINT dpi);
  void layout();
  RECT layoutFrame();
  void layoutSetupPage(const RECT& page);
  void layoutPrinterPanel(const RECT& panel, int buttonsTop);
  void layoutHelpPanel(const RECT& panel, int buttonsTop);
  void layoutLabelEditorPage(const RECT& page);
  void layoutPreview(int left, int top, int width, int bottom);
  void showPage(int page);
  // The brush of the pages' body, behind their texts.
  HBRUSH pageBrush() const;

  void command(ControlId id, int code, HWND control);
  LRESULT notify(const NMHDR& header);
  void choiceTyped(RowField& field, wchar_t character);
  RowField* fieldOf(HWND control);

  void tblConfigChanged(formats::TTableChange change);
  void showCurrentRow();
  void refreshGrid();
  void refreshPrinterChoices();
  void refreshTestPrinters();
  // Replaces the editor's text with the design's.
  void showDesign(const std::string& design);
  void updateClock();
  // The preview's size as the model holds it, in the size boxes.
  void showPreviewSize();
  // A size box's text changed, or its arrows were pressed (`steps`).
  void previewSizeTyped(HWND box);
  void previewSizeStepped(HWND arrows, int steps);
  void previewDpiChosen();

  HINSTANCE instance_;
  DovetackModel& model_;
  formats::TVirtualTable::ListenerId configurationListener_ = 0;
  bool listening_ = false;
  TAboutBox* aboutBox_ = nullptr;
  LabelPreviewPane labelPreview_;

  HWND window_ = nullptr;
  UINT dpi_ = 96;
  HFONT font_ = nullptr;
  HFONT boldFont_ = nullptr;
  HFONT fixedFont_ = nullptr;
  int nextTextId_ = static_cast<int>(ControlId::FirstText);
  // The controls are children of the window, which destroys them; the
  // hints' tool window is destroyed with the window.
  HWND pageMain_ = nullptr;
  HWND printersHeading_ = nullptr;
  HWND gridConfig_ = nullptr;
  std::array<RowField, kRowFieldControls.size()> rowFields_{};
  HWND btnAddPrinter_ = nullptr;
  HWND btnDeletePrinter_ = nullptr;
  std::vector<std::pair<HWND, HWND>> helpEntries_; // heading, text
  HWND ProgramIcon_ = nullptr;
  HWND btnSetupSave_ = nullptr;
  HWND btnSetupRM_ = nullptr;
  HWND btnHealthCheck_ = nullptr;
  HWND listTags_ = nullptr;
  HWND reLabelDesign_ = nullptr;
  HWND btnLoadLast_ = nullptr;
  HWND btnSaveDesign_ = nullptr;
  HWND btnTestDesign_ = nullptr;
  HWND testPrinterCaption_ = nullptr;
  HWND lookTestPrinter_ = nullptr;
  HWND previewWidth_ = nullptr;
  HWND previewWidthArrows_ = nullptr;
  HWND previewTimes_ = nullptr; // the "x" between width and length
  HWND previewLength_ = nullptr;
  HWND previewLengthArrows_ = nullptr;
  HWND previewDpi_ = nullptr;
  HWND statusBar_ = nullptr;
  HWND tooltip_ = nullptr;
  std::vector<HWND> setupPage_;
  std::vector<HWND> editorPage_;
  bool showingRow_ = false;
  bool showingPreviewSize_ = false;
  bool endsProgram_ = false;
};

} // namespace velmora::config::win
