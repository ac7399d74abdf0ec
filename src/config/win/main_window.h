// formMain on the Windows API: Dovetack's main window TfrmMain. Caption
// "Velmora Rizizar Configerator", client area 633 x 447 (scaled by the
// monitor's DPI), centred; the tab control pageMain with the pages "Setup"
// (the printer grid gridConfig, a report-mode list view; the fields of the
// selected row with the printer choice boxes and their type-ahead; the help
// texts; the program picture; "&Save && Activate"; "Setup RM Labels") and
// "Label Editor" (the tag list, the multi-line design editor, the label
// preview beside it with the label size and resolution it falls back on,
// "&Revert to Last", "&Save Design", "Test &Print" and the test printer
// choice); and a
// status bar whose right-hand pane is a clock.
//
// The window is thin: it shows what the program's DovetackModel holds and
// forwards every click, choice and edit to one of its actions, which show
// their own errors and messages, as the Qt window does. It owns its
// controls; the model and the about box belong to the program and outlive
// the window. Window thread only.
#pragma once

#include "config/dovetack_model.h"
#include "config/printer_configuration.h"
#include "config/win/label_preview_pane.h"
#include "config/win/window_text.h"
#include "win/window_class.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace velmora::config::win {

class TAboutBox;

// The window class of the main window, by which other programs (the window
// tests' driver) find it.
inline constexpr wchar_t kMainWindowClass[] = L"VelmoraDovetackMain";

// The controls' identifiers, for WM_COMMAND and GetDlgItem.
enum ControlId : int {
  idPageMain = 1000,
  idGridConfig,
  idLookSource,
  idLookDest,
  idLookBackup,
  idEditLabelsText,
  idEditMapText,
  idEditTimeText,
  idEditTotalText,
  idEditDesign,
  idBtnAddPrinter,
  idBtnDeletePrinter,
  idBtnSetupSave,
  idBtnSetupRM,
  idProgramIcon,
  idListTags,
  idReLabelDesign,
  idBtnLoadLast,
  idBtnSaveDesign,
  idBtnTestDesign,
  idLookTestPrinter,
  idStatusBar,
  idLabelPreview,
  idLookPreviewSize,
  idLookPreviewDpi,
  idFirstStatic = 1100,
};

class TfrmMain final {
public:
  TfrmMain(HINSTANCE instance, DovetackModel& model);
  ~TfrmMain();
  TfrmMain(const TfrmMain&) = delete;
  TfrmMain& operator=(const TfrmMain&) = delete;

  // Makes the window (hidden, centred) and runs the start-up sequence.
  void create();
  HWND handle() const { return window_; }
  void setAboutBox(TAboutBox* aboutBox) { aboutBox_ = aboutBox; }
  // Closing the window then ends the message loop (PostQuitMessage).
  void endProgramOnClose() { endsProgram_ = true; }

  // ---- handlers, as the controls call them
  void FormCreate();
  void btnAddPrinterClick();
  void btnDeletePrinterClick();
  void btnSetupSaveClick();
  void btnSetupRMClick();
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

  // ---- components
  HWND pageMain = nullptr;
  HWND gridConfig = nullptr;
  HWND lookSource = nullptr;
  HWND lookDest = nullptr;
  HWND lookBackup = nullptr;
  HWND editLabelsText = nullptr;
  HWND editMapText = nullptr;
  HWND editTimeText = nullptr;
  HWND editTotalText = nullptr;
  HWND editDesign = nullptr;
  HWND lblDesign = nullptr;
  HWND btnAddPrinter = nullptr;
  HWND btnDeletePrinter = nullptr;
  HWND btnSetupSave = nullptr;
  HWND btnSetupRM = nullptr;
  HWND ProgramIcon = nullptr;
  HWND listTags = nullptr;
  HWND reLabelDesign = nullptr;
  HWND btnLoadLast = nullptr;
  HWND btnSaveDesign = nullptr;
  HWND btnTestDesign = nullptr;
  HWND lookTestPrinter = nullptr;
  HWND statusBar = nullptr;
  HWND paneLabelPreview = nullptr;
  HWND lookPreviewSize = nullptr;
  HWND lookPreviewDpi = nullptr;
  LabelPreviewPane& labelPreview() { return labelPreview_; }

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
  void createControls();
  HWND addControl(const wchar_t* className, const std::wstring& text, DWORD style, int id,
                  DWORD exStyle = 0);
  void applyDpi(UINT dpi);
  void layout();
  void showPage(int page);
  // The brush of the pages' body, behind their texts.
  HBRUSH pageBrush() const;
  void command(int id, int code, HWND control);
  void notify(const NMHDR& header);
  void choiceTyped(RowField& field, wchar_t character);

  void tblConfigChanged(formats::TTableChange change);
  void showCurrentRow();
  void refreshGrid();
  void refreshPrinterChoices();
  void refreshTestPrinters();
  // Replaces the editor's text with the design's.
  void showDesign(const std::string& design);
  void updateClock();
  void previewOptionsChosen();
  RowField* fieldOf(HWND control);

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
  HWND tooltip_ = nullptr;
  HWND lblConfigured_ = nullptr;
  std::vector<std::pair<HWND, HWND>> helpEntries_; // heading, text
  std::array<RowField, 8> rowFields_{};
  std::vector<HWND> setupPage_;
  std::vector<HWND> editorPage_;
  bool showingRow_ = false;
  bool endsProgram_ = false;
};

} // namespace velmora::config::win
