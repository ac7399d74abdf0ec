#include "config/win/main_window.h"

#include "config/label_design_editor.h"
#include "config/label_preview_size.h"
#include "config/program_messages.h"
#include "config/test_print.h"
#include "config/win/about_box.h"
#include "config/win/program_picture.h"
#include "platform/unicode.h"
#include "win/message_box.h"
#include "win/window_class.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>

namespace velmora::config::win {

namespace {

constexpr const wchar_t* kClassName = kMainWindowClass;
constexpr int kClientWidth = 633;
constexpr int kClientHeight = 447;
constexpr int kStatusBarHeight = 22;
constexpr UINT_PTR kClockTimer = 1;
// The system menu's "About Dovetack..." (below 0xF000, a multiple of 16).
constexpr UINT kAboutCommand = 0x0010;
// Typing into a printer choice starts anew after this pause (Qt's default
// keyboard input interval, so both windows type alike).
constexpr DWORD kKeyboardInputInterval = 400;
constexpr int kIconResource = velmora::win::kProgramIconId;
// The position a size box's arrows keep: each press says only its step.
constexpr int kArrowsRest = 500;

// Sizes of the layout at 96 dpi.
constexpr int kPad = 4;
constexpr int kButtonWidth = 95;
constexpr int kButtonHeight = 25;
constexpr int kRowHeight = 24;
constexpr int kControlHeight = 21;
constexpr int kHelpPanelWidth = 230;
constexpr int kTagListWidth = 153;
constexpr int kPreviewWidth = 200;
constexpr int kTestPrinterCaptionWidth = 72;
// A drop-down list's height is that of the opened list.
constexpr int kDropDownHeight = 200;

std::wstring localeText(LCTYPE type, const wchar_t* fallback) {
  wchar_t text[32]{};
  if (::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, text, 32) > 0)
    return text;
  return fallback;
}

// The user's locale's share of the test print's time text.
TimeLocale userTimeLocale() {
  return {fromWide(localeText(LOCALE_STIME, L":")), fromWide(localeText(LOCALE_S1159, L"AM")),
          fromWide(localeText(LOCALE_S2359, L"PM"))};
}

std::wstring comboText(HWND box, int index) {
  const LRESULT length = ::SendMessageW(box, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == CB_ERR)
    return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  ::SendMessageW(box, CB_GETLBTEXT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(length));
  return text;
}

std::vector<std::wstring> comboItems(HWND box) {
  std::vector<std::wstring> items;
  const auto count = static_cast<int>(::SendMessageW(box, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i)
    items.push_back(comboText(box, i));
  return items;
}

void setComboItems(HWND box, const std::vector<std::string>& items) {
  ::SendMessageW(box, CB_RESETCONTENT, 0, 0);
  for (const std::string& item : items)
    ::SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(item).c_str()));
}

// Selects line `line` of `box`, or none.
void showComboLine(HWND box, std::optional<std::size_t> line) {
  const int wanted = line ? static_cast<int>(*line) : -1;
  if (::SendMessageW(box, CB_GETCURSEL, 0, 0) != wanted)
    ::SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(wanted), 0);
}

// Selects the item that is exactly `value` (with regard to case), else none.
void showComboValue(HWND box, const std::string& value) {
  const std::wstring wanted = toWide(value);
  std::optional<std::size_t> found;
  if (!wanted.empty()) {
    const std::vector<std::wstring> items = comboItems(box);
    for (std::size_t i = 0; i < items.size() && !found; ++i)
      if (items[i] == wanted)
        found = i;
  }
  showComboLine(box, found);
}

// The text's height as it wraps at `width` in `font`.
int wrappedHeight(HWND window, HFONT font, const std::wstring& text, int width) {
  HDC dc = ::GetDC(window);
  RECT box{0, 0, width, 0};
  const HGDIOBJ previous = ::SelectObject(dc, font);
  ::DrawTextW(dc, text.c_str(), -1, &box, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  ::SelectObject(dc, previous);
  ::ReleaseDC(window, dc);
  return box.bottom;
}

} // namespace

TfrmMain::TfrmMain(HINSTANCE instance, DovetackModel& model)
    : instance_(instance), model_(model), labelPreview_(model) {}

TfrmMain::~TfrmMain() {
  if (listening_)
    model_.removeConfigurationListener(configurationListener_);
  if (window_) {
    ::KillTimer(window_, kClockTimer);
    ::DestroyWindow(window_);
  }
  if (tooltip_)
    ::DestroyWindow(tooltip_);
  for (HFONT font : {font_, boldFont_, fixedFont_})
    if (font)
      ::DeleteObject(font);
}

void TfrmMain::create() {
  // The icons are loaded for the first window only, as the class keeps them.
  if (!velmora::win::windowClassRegistered(instance_, kClassName))
    velmora::win::WindowClass<TfrmMain>::registerClass(
        instance_, kClassName,
        {.icon = ::LoadIconW(instance_, MAKEINTRESOURCEW(kIconResource)),
         .smallIcon = static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(kIconResource),
                                                      IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                                      ::GetSystemMetrics(SM_CYSMICON), 0)),
         .background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)});
  window_ = ::CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, toWide(kMainWindowCaption).c_str(),
                              WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                              kClientWidth, kClientHeight, nullptr, nullptr, instance_, this);
  createControls();
  applyDpi(windowDpi(window_));

  // Client area 633 x 447 at the monitor's DPI, centred on its work area.
  const SIZE frame = velmora::win::outerSizeForClient(
      kClientWidth, kClientHeight, WS_OVERLAPPEDWINDOW, WS_EX_CONTROLPARENT, dpi_);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ::GetMonitorInfoW(::MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& work = monitor.rcWork;
  const int width = frame.cx;
  const int height = frame.cy;
  ::SetWindowPos(window_, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  layout();
  showPage(0);
  HMENU systemMenu = ::GetSystemMenu(window_, FALSE);
  ::AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(systemMenu, MF_STRING, kAboutCommand, toWide(kAboutMenuItem).c_str());

  configurationListener_ = model_.addConfigurationListener(
      [this](formats::TTableChange change) { tblConfigChanged(change); });
  listening_ = true;
  updateClock();
  FormCreate();
}

HWND TfrmMain::addControl(const wchar_t* className, const std::wstring& text, DWORD style,
                          ControlId id, DWORD exStyle) {
  return ::CreateWindowExW(exStyle, className, text.c_str(), WS_CHILD | style, 0, 0, 10, 10,
                           window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_,
                           nullptr);
}

HWND TfrmMain::addText(std::string_view text) {
  return addControl(WC_STATICW, toWide(text), SS_LEFT | SS_NOPREFIX,
                    static_cast<ControlId>(nextTextId_++));
}

// ---- building -------------------------------------------------------------------

void TfrmMain::createControls() {
  buildPageControl();
  buildSetupPage();
  buildLabelEditorPage();
  buildStatusBar();
  buildHints();
  // The pages' controls are siblings of the tab control, which stays below
  // them (and last in the tab order).
  ::SetWindowPos(pageMain_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TfrmMain::buildPageControl() {
  pageMain_ = addControl(WC_TABCONTROLW, L"", WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP,
                         ControlId::PageMain);
  TCITEMW tab{};
  tab.mask = TCIF_TEXT;
  tab.pszText = const_cast<wchar_t*>(L"Setup");
  ::SendMessageW(pageMain_, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&tab));
  tab.pszText = const_cast<wchar_t*>(L"Label Editor");
  ::SendMessageW(pageMain_, TCM_INSERTITEMW, 1, reinterpret_cast<LPARAM>(&tab));
}

// "Setup": the heading, the grid, the fields of the selected row and their
// buttons on the left; the help, the picture and the page's buttons on the
// right.
void TfrmMain::buildSetupPage() {
  buildPrinterGrid();
  buildRowFields();
  buildPrinterButtons();
  buildHelpPanel();
}

void TfrmMain::buildPrinterGrid() {
  printersHeading_ = addText("Configured Printers");
  gridConfig_ =
      addControl(WC_LISTVIEWW, L"",
                 LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | WS_TABSTOP,
                 ControlId::GridConfig, WS_EX_CLIENTEDGE);
  ListView_SetExtendedListViewStyle(gridConfig_,
                                    LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
  for (std::size_t i = 0; i < kGridColumns.size(); ++i) {
    const std::wstring title = toWide(kGridColumns[i].title);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = kGridColumnWidth;
    column.pszText = const_cast<wchar_t*>(title.c_str());
    ListView_InsertColumn(gridConfig_, static_cast<int>(i), &column);
  }
  setupPage_.insert(setupPage_.end(), {printersHeading_, gridConfig_});
}

// The fields of the selected row, in tab order: the three printer choices
// (with type-ahead), the four prefix texts and the design file name (shown,
// disabled with its caption).
void TfrmMain::buildRowFields() {
  for (std::size_t i = 0; i < kRowFieldControls.size(); ++i) {
    RowField& field = rowFields_[i];
    field.description = &kRowFieldControls[i];
    const bool design = field.description->field == formats::configuration_field::kDesign;
    field.caption = design ? addControl(WC_STATICW, toWide(field.description->caption),
                                        SS_LEFT | SS_NOPREFIX, ControlId::DesignCaption)
                           : addText(field.description->caption);
    const auto id =
        static_cast<ControlId>(static_cast<int>(ControlId::LookSource) + static_cast<int>(i));
    if (field.description->printerChoice) {
      field.control = addControl(WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, id);
      ::SetWindowSubclass(field.control, &TfrmMain::choiceBoxProc, 1,
                          reinterpret_cast<DWORD_PTR>(this));
    } else {
      field.control = addControl(WC_EDITW, L"", ES_AUTOHSCROLL | WS_TABSTOP, id, WS_EX_CLIENTEDGE);
      ::SendMessageW(field.control, EM_LIMITTEXT, static_cast<WPARAM>(field.description->maxLength),
                     0);
    }
    if (design) {
      ::EnableWindow(field.control, FALSE);
      ::EnableWindow(field.caption, FALSE);
    }
    setupPage_.insert(setupPage_.end(), {field.caption, field.control});
  }
}

void TfrmMain::buildPrinterButtons() {
  btnAddPrinter_ = addControl(WC_BUTTONW, L"Add Printer", WS_TABSTOP, ControlId::BtnAddPrinter);
  btnDeletePrinter_ =
      addControl(WC_BUTTONW, L"Delete Printer", WS_TABSTOP, ControlId::BtnDeletePrinter);
  setupPage_.insert(setupPage_.end(), {btnAddPrinter_, btnDeletePrinter_});
}

void TfrmMain::buildHelpPanel() {
  for (const HelpEntry& entry : kHelpEntries) {
    HWND heading = addText(entry.heading);
    HWND text = addText(entry.text);
    helpEntries_.emplace_back(heading, text);
    setupPage_.insert(setupPage_.end(), {heading, text});
  }
  ProgramIcon_ = addControl(WC_STATICW, L"", SS_OWNERDRAW | SS_NOTIFY, ControlId::ProgramIcon);
  btnSetupSave_ = addControl(WC_BUTTONW, L"&Save && Activate", WS_TABSTOP, ControlId::BtnSetupSave);
  btnSetupRM_ = addControl(WC_BUTTONW, L"Setup RM Labels", WS_TABSTOP, ControlId::BtnSetupRM);
  btnHealthCheck_ = addControl(WC_BUTTONW, L"&Health Check", WS_TABSTOP, ControlId::BtnHealthCheck);
  setupPage_.insert(setupPage_.end(), {ProgramIcon_, btnHealthCheck_, btnSetupSave_, btnSetupRM_});
}

// "Label Editor": the tag list, the design editor, its buttons with the
// test printer choice, and the preview with the label size it falls back
// on.
void TfrmMain::buildLabelEditorPage() {
  buildTagList();
  buildDesignEditor();
  buildDesignButtons();
  buildPreview();
}

void TfrmMain::buildTagList() {
  listTags_ =
      addControl(WC_LISTBOXW, L"", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP,
                 ControlId::ListTags, WS_EX_CLIENTEDGE);
  for (std::size_t entry = 0; entry < designTagCount(); ++entry)
    ::SendMessageW(listTags_, LB_ADDSTRING, 0,
                   reinterpret_cast<LPARAM>(toWide(designTagAt(entry)).c_str()));
  editorPage_.push_back(listTags_);
}

// Plain text, one line of the file per line: no wrapping, both scroll bars.
void TfrmMain::buildDesignEditor() {
  reLabelDesign_ = addControl(WC_EDITW, L"",
                              ES_MULTILINE | ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_WANTRETURN |
                                  ES_NOHIDESEL | WS_HSCROLL | WS_VSCROLL | WS_TABSTOP,
                              ControlId::ReLabelDesign, WS_EX_CLIENTEDGE);
  ::SendMessageW(reLabelDesign_, EM_LIMITTEXT, 0, 0); // as long as memory allows
  editorPage_.push_back(reLabelDesign_);
}

// "&Revert to Last", "&Save Design", "Test &Print" and the test printer choice
// after its caption.
void TfrmMain::buildDesignButtons() {
  btnLoadLast_ = addControl(WC_BUTTONW, L"&Revert to Last", WS_TABSTOP, ControlId::BtnLoadLast);
  btnSaveDesign_ = addControl(WC_BUTTONW, L"&Save Design", WS_TABSTOP, ControlId::BtnSaveDesign);
  btnTestDesign_ = addControl(WC_BUTTONW, L"Test &Print", WS_TABSTOP, ControlId::BtnTestDesign);
  testPrinterCaption_ = addControl(WC_STATICW, toWide(kTestPrinterCaption), SS_LEFT | SS_NOPREFIX,
                                   ControlId::TestPrinterCaption);
  lookTestPrinter_ = addControl(WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
                                ControlId::LookTestPrinter);
  editorPage_.insert(editorPage_.end(), {btnLoadLast_, btnSaveDesign_, btnTestDesign_,
                                         testPrinterCaption_, lookTestPrinter_});
}

// The preview beside the editor, and under it the label's width and length
// where the design sets none, then the resolution.
void TfrmMain::buildPreview() {
  editorPage_.push_back(labelPreview_.create(window_, static_cast<int>(ControlId::LabelPreview)));
  previewWidth_ = buildInchesBox(ControlId::PreviewWidth, ControlId::PreviewWidthArrows);
  previewWidthArrows_ = control(ControlId::PreviewWidthArrows);
  previewTimes_ = addText("x");
  previewLength_ = buildInchesBox(ControlId::PreviewLength, ControlId::PreviewLengthArrows);
  previewLengthArrows_ = control(ControlId::PreviewLengthArrows);
  previewDpi_ = addControl(WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
                           ControlId::PreviewDpi);
  for (const int dpi : preview::kSupportedDpi)
    ::SendMessageW(previewDpi_, CB_ADDSTRING, 0,
                   reinterpret_cast<LPARAM>((std::to_wstring(dpi) + L" dpi").c_str()));
  editorPage_.insert(editorPage_.end(), {previewWidth_, previewWidthArrows_, previewTimes_,
                                         previewLength_, previewLengthArrows_, previewDpi_});
  showPreviewSize();
}

// An edit for a size in inches with arrows beside it that step it; the
// arrows also take the Up and Down keys typed into the edit.
HWND TfrmMain::buildInchesBox(ControlId box, ControlId arrows) {
  HWND edit = addControl(WC_EDITW, L"", ES_AUTOHSCROLL | WS_TABSTOP, box, WS_EX_CLIENTEDGE);
  ::SendMessageW(edit, EM_LIMITTEXT, 12, 0);
  HWND steps = addControl(UPDOWN_CLASSW, L"", UDS_ARROWKEYS | UDS_HOTTRACK, arrows);
  ::SendMessageW(steps, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0);
  ::SendMessageW(steps, UDM_SETRANGE32, 0, 2 * kArrowsRest);
  ::SendMessageW(steps, UDM_SETPOS32, 0, kArrowsRest);
  return edit;
}

void TfrmMain::buildStatusBar() {
  statusBar_ = addControl(STATUSCLASSNAMEW, L"", WS_VISIBLE, ControlId::StatusBar);
}

// The hints of the picture and the tag list.
void TfrmMain::buildHints() {
  tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_,
                               nullptr, instance_, nullptr);
  auto hint = [&](HWND control, const wchar_t* text) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = const_cast<wchar_t*>(text);
    ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  };
  hint(ProgramIcon_, L"Double click for info.");
  hint(listTags_, L"Double click on a tag to insert in the editor");
}

// ---- layout ---------------------------------------------------------------------

HBRUSH TfrmMain::pageBrush() const {
  // A tab control drawn with visual styles has a white body (the window
  // colour), a classic one the colour of buttons.
  bool themed = false;
  if (::IsAppThemed())
    if (HTHEME theme = ::OpenThemeData(pageMain_, L"TAB")) {
      themed = true;
      ::CloseThemeData(theme);
    }
  return ::GetSysColorBrush(themed ? COLOR_WINDOW : COLOR_BTNFACE);
}

void TfrmMain::applyDpi(UINT dpi) {
  dpi_ = dpi;
  for (HFONT* font : {&font_, &boldFont_, &fixedFont_})
    if (*font)
      ::DeleteObject(*font);
  font_ = createMessageFont(dpi, false);
  boldFont_ = createMessageFont(dpi, true);
  fixedFont_ = createFixedFont(dpi);
  ::EnumChildWindows(
      window_,
      [](HWND child, LPARAM font) {
        ::SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(font_));
  std::vector<HWND> bold = {printersHeading_, ListView_GetHeader(gridConfig_)};
  for (const auto& [heading, text] : helpEntries_)
    bold.push_back(heading);
  for (HWND control : bold)
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_), FALSE);
  ::SendMessageW(reLabelDesign_, WM_SETFONT, reinterpret_cast<WPARAM>(fixedFont_), FALSE);
  labelPreview_.setFont(font_);
  ::SendMessageW(statusBar_, SB_SETMINHEIGHT,
                 static_cast<WPARAM>(atDpi(kStatusBarHeight) - 2 * ::GetSystemMetrics(SM_CYBORDER)),
                 0);
  ::InvalidateRect(window_, nullptr, TRUE);
}

void TfrmMain::layout() {
  if (!window_ || !statusBar_)
    return;
  const RECT page = layoutFrame();
  layoutSetupPage(page);
  layoutLabelEditorPage(page);
}

// The status bar along the bottom with the clock in its right-hand pane, the
// page control above it; the pages' area inside the page control.
RECT TfrmMain::layoutFrame() {
  RECT client{};
  ::GetClientRect(window_, &client);
  ::SendMessageW(statusBar_, WM_SIZE, 0, 0);
  RECT bar{};
  ::GetWindowRect(statusBar_, &bar);
  const int barHeight = bar.bottom - bar.top;
  const int parts[2] = {client.right - atDpi(180), -1};
  ::SendMessageW(statusBar_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
  ::MoveWindow(pageMain_, 0, 0, client.right, client.bottom - barHeight, TRUE);
  RECT page{0, 0, client.right, client.bottom - barHeight};
  ::SendMessageW(pageMain_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
  return page;
}

// The help panel is 230 wide on the right, the printer panel takes the rest;
// both panels' buttons stand on one line at the bottom.
void TfrmMain::layoutSetupPage(const RECT& page) {
  const int helpLeft = page.right - atDpi(kHelpPanelWidth);
  const int buttonsTop = page.bottom - atDpi(kPad) - atDpi(kButtonHeight);
  layoutPrinterPanel({page.left, page.top, helpLeft, page.bottom}, buttonsTop);
  layoutHelpPanel({helpLeft, page.top, page.right, page.bottom}, buttonsTop);
}

// The heading, the grid, the fields of the selected row above the buttons.
void TfrmMain::layoutPrinterPanel(const RECT& panel, int buttonsTop) {
  const int pad = atDpi(kPad);
  const int left = panel.left + pad;
  const int width = panel.right - left - pad;
  ::MoveWindow(printersHeading_, left, panel.top + pad, width, atDpi(16), TRUE);
  const int fieldsTop =
      buttonsTop - atDpi(6) - static_cast<int>(rowFields_.size()) * atDpi(kRowHeight);
  const int gridTop = panel.top + pad + atDpi(18);
  ::MoveWindow(gridConfig_, left, gridTop, width, fieldsTop - atDpi(4) - gridTop, TRUE);
  RECT client{};
  ::GetClientRect(window_, &client);
  const int columnWidth = atDpi(
      gridColumnWidth(::MulDiv(client.right - atDpi(kClientWidth), 96, static_cast<int>(dpi_))));
  for (int column = 0; column < static_cast<int>(kGridColumns.size()); ++column)
    if (ListView_GetColumnWidth(gridConfig_, column) != columnWidth)
      ListView_SetColumnWidth(gridConfig_, column, columnWidth);
  const int captionWidth = atDpi(112);
  for (std::size_t i = 0; i < rowFields_.size(); ++i) {
    const RowField& field = rowFields_[i];
    const int top = fieldsTop + static_cast<int>(i) * atDpi(kRowHeight);
    ::MoveWindow(field.caption, left, top + atDpi(3), captionWidth, atDpi(16), TRUE);
    const int fieldWidth = field.description->maxLength > 15 ? atDpi(170) : atDpi(130);
    const int height =
        field.description->printerChoice ? atDpi(kDropDownHeight) : atDpi(kControlHeight);
    ::MoveWindow(field.control, left + captionWidth, top, fieldWidth, height, TRUE);
  }
  ::MoveWindow(btnAddPrinter_, left, buttonsTop, atDpi(kButtonWidth), atDpi(kButtonHeight), TRUE);
  ::MoveWindow(btnDeletePrinter_, left + atDpi(kButtonWidth + 4), buttonsTop, atDpi(kButtonWidth),
               atDpi(kButtonHeight), TRUE);
}

// The help entries (headings and texts as tall as they wrap), the program
// picture above the save and setup buttons.
void TfrmMain::layoutHelpPanel(const RECT& panel, int buttonsTop) {
  const int pad = atDpi(kPad);
  const int left = panel.left + pad;
  const int width = panel.right - pad - left;
  int y = panel.top + pad;
  for (const auto& [heading, text] : helpEntries_) {
    ::MoveWindow(heading, left, y, width, atDpi(16), TRUE);
    y += atDpi(17);
    const int height = wrappedHeight(window_, font_, velmora::win::windowText(text), width);
    ::MoveWindow(text, left, y, width, height, TRUE);
    y += height + atDpi(6);
  }
  const int saveWidth = (width - atDpi(4)) / 2;
  ::MoveWindow(btnSetupSave_, left, buttonsTop, saveWidth, atDpi(kButtonHeight), TRUE);
  ::MoveWindow(btnSetupRM_, left + saveWidth + atDpi(4), buttonsTop, width - saveWidth - atDpi(4),
               atDpi(kButtonHeight), TRUE);
  const int healthCheckTop = buttonsTop - atDpi(4) - atDpi(kButtonHeight);
  ::MoveWindow(btnHealthCheck_, left, healthCheckTop, width, atDpi(kButtonHeight), TRUE);
  ::MoveWindow(ProgramIcon_, left + (width - atDpi(156)) / 2, healthCheckTop - atDpi(8) - atDpi(76),
               atDpi(156), atDpi(76), TRUE);
}

// The tag list 153 wide on the left, the editor above its buttons, the
// preview on the right above its size (200 wide at the first size, half the
// room beside the tag list when the window grows), both above the buttons.
void TfrmMain::layoutLabelEditorPage(const RECT& page) {
  const int pad = atDpi(kPad);
  const int left = page.left + pad;
  const int top = page.top + pad;
  ::MoveWindow(listTags_, left, top, atDpi(kTagListWidth), page.bottom - page.top - 2 * pad, TRUE);
  const int editorLeft = left + atDpi(kTagListWidth) + pad;
  const int previewWidth =
      previewPaneWidth(page.right - pad - editorLeft - pad, atDpi(kPreviewWidth));
  const int previewLeft = page.right - pad - previewWidth;
  const int buttonsTop = page.bottom - pad - atDpi(kButtonHeight);
  ::MoveWindow(reLabelDesign_, editorLeft, top, previewLeft - pad - editorLeft,
               buttonsTop - atDpi(4) - top, TRUE);
  int x = editorLeft;
  for (HWND button : {btnLoadLast_, btnSaveDesign_, btnTestDesign_}) {
    ::MoveWindow(button, x, buttonsTop, atDpi(kButtonWidth), atDpi(kButtonHeight), TRUE);
    x += atDpi(kButtonWidth + 4);
  }
  ::MoveWindow(testPrinterCaption_, x, buttonsTop + atDpi(6), atDpi(kTestPrinterCaptionWidth),
               atDpi(16), TRUE);
  x += atDpi(kTestPrinterCaptionWidth);
  ::MoveWindow(lookTestPrinter_, x, buttonsTop + atDpi(2), atDpi(96), atDpi(kDropDownHeight), TRUE);
  layoutPreview(previewLeft, top, previewWidth, buttonsTop - atDpi(6));
}

// The picture above two lines ending at `bottom`: width x length, then the
// resolution.
void TfrmMain::layoutPreview(int left, int top, int width, int bottom) {
  const int lineHeight = atDpi(kControlHeight);
  const int dpiTop = bottom - lineHeight;
  const int sizeTop = dpiTop - atDpi(2) - lineHeight;
  ::MoveWindow(labelPreview_.handle(), left, top, width, sizeTop - atDpi(4) - top, TRUE);
  const int arrowsWidth = atDpi(16);
  const int timesWidth = atDpi(12);
  // The size boxes keep their first width however wide the picture grows.
  const int rowWidth = std::min(width, atDpi(kPreviewWidth));
  const int boxWidth = (rowWidth - timesWidth) / 2 - arrowsWidth;
  int x = left;
  for (const auto& [box, arrows] : {std::pair{previewWidth_, previewWidthArrows_},
                                    std::pair{previewLength_, previewLengthArrows_}}) {
    ::MoveWindow(box, x, sizeTop, boxWidth, lineHeight, TRUE);
    ::MoveWindow(arrows, x + boxWidth, sizeTop, arrowsWidth, lineHeight, TRUE);
    x += boxWidth + arrowsWidth + timesWidth;
  }
  ::MoveWindow(previewTimes_, left + boxWidth + arrowsWidth + atDpi(3), sizeTop + atDpi(3),
               timesWidth - atDpi(3), atDpi(16), TRUE);
  ::MoveWindow(previewDpi_, left, dpiTop, rowWidth, atDpi(kDropDownHeight), TRUE);
}

void TfrmMain::showPage(int page) {
  for (HWND control : setupPage_)
    ::ShowWindow(control, page == 0 ? SW_SHOW : SW_HIDE);
  for (HWND control : editorPage_)
    ::ShowWindow(control, page == 1 ? SW_SHOW : SW_HIDE);
  if (::SendMessageW(pageMain_, TCM_GETCURSEL, 0, 0) != page)
    ::SendMessageW(pageMain_, TCM_SETCURSEL, static_cast<WPARAM>(page), 0);
}

// ---- start-up -----------------------------------------------------------------

void TfrmMain::FormCreate() {
  if (const std::optional<std::string> design = model_.startUp())
    showDesign(*design);
  refreshPrinterChoices();
  tblConfigChanged(formats::TTableChange::tcDataChanged);
}

bool TfrmMain::FormCloseQuery() {
  return model_.mayClose(windowText(reLabelDesign_));
}

bool TfrmMain::preTranslateMessage(MSG& message) {
  if (!window_ || (message.hwnd != window_ && !::IsChild(window_, message.hwnd)))
    return false;
  if (message.message == WM_KEYDOWN) {
    const bool control = (::GetKeyState(VK_CONTROL) & 0x8000) != 0;
    const bool shift = (::GetKeyState(VK_SHIFT) & 0x8000) != 0;
    int step = 0;
    if (control && message.wParam == VK_TAB)
      step = shift ? -1 : 1;
    else if (control && (message.wParam == VK_NEXT || message.wParam == VK_PRIOR))
      step = message.wParam == VK_NEXT ? 1 : -1;
    if (step != 0) {
      const auto page = static_cast<int>(::SendMessageW(pageMain_, TCM_GETCURSEL, 0, 0));
      showPage(pageAfter(page, step));
      ::SetFocus(pageMain_); // the control that had it may be on the page now hidden
      return true;
    }
    if (message.wParam == VK_F1 && !control) {
      ProgramIconDblClick();
      return true;
    }
  }
  return ::IsDialogMessageW(window_, &message) != FALSE;
}

// ---- "Setup" page ---------------------------------------------------------------

void TfrmMain::btnAddPrinterClick() {
  if (model_.addPrinter())
    ::SetFocus(rowFields_[0].control); // the new row's Source Printer
}

void TfrmMain::btnDeletePrinterClick() {
  model_.deletePrinter();
}

void TfrmMain::btnSetupSaveClick() {
  model_.saveAndActivate();
}

void TfrmMain::btnSetupRMClick() {
  model_.setupRMLabels();
}

void TfrmMain::btnHealthCheckClick() {
  model_.healthCheck();
}

void TfrmMain::ProgramIconDblClick() {
  if (aboutBox_)
    aboutBox_->showModal();
}

void TfrmMain::tblConfigChanged(formats::TTableChange) {
  refreshGrid();
  showCurrentRow();
  refreshTestPrinters();
}

void TfrmMain::refreshGrid() {
  const bool wasShowing = showingRow_;
  showingRow_ = true;
  const PrinterConfiguration& configuration = model_.configuration();
  const int rows = static_cast<int>(configuration.gridRowCount());
  while (ListView_GetItemCount(gridConfig_) > rows)
    ListView_DeleteItem(gridConfig_, ListView_GetItemCount(gridConfig_) - 1);
  while (ListView_GetItemCount(gridConfig_) < rows) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = ListView_GetItemCount(gridConfig_);
    item.pszText = const_cast<wchar_t*>(L"");
    ListView_InsertItem(gridConfig_, &item);
  }
  wchar_t shown[64];
  for (int row = 0; row < rows; ++row)
    for (std::size_t column = 0; column < kGridColumns.size(); ++column) {
      const std::wstring text =
          toWide(configuration.gridText(static_cast<std::size_t>(row), kGridColumns[column].field));
      ListView_GetItemText(gridConfig_, row, static_cast<int>(column), shown, 64);
      if (text != shown)
        ListView_SetItemText(gridConfig_, row, static_cast<int>(column),
                             const_cast<wchar_t*>(text.c_str()));
    }
  showingRow_ = wasShowing;
}

void TfrmMain::showCurrentRow() {
  const bool wasShowing = showingRow_;
  showingRow_ = true;
  for (RowField& field : rowFields_) {
    const std::string value = model_.configuration().currentValue(field.description->field);
    if (field.description->printerChoice) {
      const std::wstring before = velmora::win::windowText(field.control);
      showComboValue(field.control, value);
      if (velmora::win::windowText(field.control) != before)
        field.typeAhead.reset(); // another row: typing starts afresh
    } else if (windowText(field.control) != value) {
      setWindowText(field.control, value);
    }
  }
  if (const std::optional<std::size_t> row = model_.configuration().currentGridRow()) {
    const int shown = static_cast<int>(*row);
    if (!(ListView_GetItemState(gridConfig_, shown, LVIS_SELECTED) & LVIS_SELECTED))
      ListView_SetItemState(gridConfig_, shown, LVIS_SELECTED | LVIS_FOCUSED,
                            LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(gridConfig_, shown, FALSE);
  } else {
    ListView_SetItemState(gridConfig_, -1, 0, LVIS_SELECTED);
  }
  showingRow_ = wasShowing;
}

void TfrmMain::refreshPrinterChoices() {
  for (RowField& field : rowFields_)
    if (field.description->printerChoice)
      setComboItems(field.control, model_.configuration().printerChoices());
  showCurrentRow();
}

TfrmMain::RowField* TfrmMain::fieldOf(HWND control) {
  for (RowField& field : rowFields_)
    if (field.control == control)
      return &field;
  return nullptr;
}

void TfrmMain::choiceTyped(RowField& field, wchar_t character) {
  const DWORD now = ::GetTickCount();
  const bool afterPause = field.lastKey == 0 || now - field.lastKey > kKeyboardInputInterval;
  field.lastKey = now;
  const std::optional<std::size_t> index =
      field.typeAhead.type(model_.configuration().printerChoices(),
                           fromWide(std::wstring_view(&character, 1)), afterPause);
  if (!index)
    return;
  const auto row = static_cast<int>(*index);
  if (row != ::SendMessageW(field.control, CB_GETCURSEL, 0, 0) ||
      velmora::win::windowText(field.control).empty()) {
    ::SendMessageW(field.control, CB_SETCURSEL, static_cast<WPARAM>(row), 0);
    command(static_cast<ControlId>(::GetDlgCtrlID(field.control)), CBN_SELCHANGE, field.control);
  }
}

// ---- "Label Editor" page ------------------------------------------------------

void TfrmMain::refreshTestPrinters() {
  const std::vector<std::string> sources = model_.testPrinterChoices();
  std::vector<std::wstring> wanted;
  for (const std::string& source : sources)
    wanted.push_back(toWide(source));
  if (comboItems(lookTestPrinter_) != wanted)
    setComboItems(lookTestPrinter_, sources);
  showComboLine(lookTestPrinter_, model_.shownTestPrinter());
}

void TfrmMain::showDesign(const std::string& design) {
  setWindowText(reLabelDesign_, design);
  // A multi-line edit sends no EN_CHANGE for a text set whole.
  labelPreview_.setDesignText(windowText(reLabelDesign_));
}

void TfrmMain::btnLoadLastClick() {
  if (const std::optional<std::string> design = model_.revertToLast(windowText(reLabelDesign_)))
    showDesign(*design);
}

void TfrmMain::btnSaveDesignClick() {
  model_.saveDesign(windowText(reLabelDesign_));
}

void TfrmMain::btnTestDesignClick() {
  model_.testPrint(windowText(reLabelDesign_));
}

void TfrmMain::listTagsDblClick() {
  const LRESULT selected = ::SendMessageW(listTags_, LB_GETCURSEL, 0, 0);
  std::optional<std::size_t> entry;
  if (selected != LB_ERR)
    entry = static_cast<std::size_t>(selected);
  // The start of the selection (the caret) as line and column.
  DWORD start = 0;
  ::SendMessageW(reLabelDesign_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
  const LRESULT line = ::SendMessageW(reLabelDesign_, EM_LINEFROMCHAR, start, 0);
  const auto lineStart = static_cast<DWORD>(
      ::SendMessageW(reLabelDesign_, EM_LINEINDEX, static_cast<WPARAM>(line), 0));
  const auto length =
      static_cast<std::size_t>(::SendMessageW(reLabelDesign_, EM_LINELENGTH, lineStart, 0));
  std::wstring text(std::max<std::size_t>(length, 1) + 1, L'\0');
  *reinterpret_cast<WORD*>(text.data()) = static_cast<WORD>(text.size());
  const auto copied =
      static_cast<std::size_t>(::SendMessageW(reLabelDesign_, EM_GETLINE, static_cast<WPARAM>(line),
                                              reinterpret_cast<LPARAM>(text.data())));
  text.resize(std::min(copied, length));
  // The column in characters, not in UTF-16 units.
  const std::size_t column =
      platform::utf8ToUtf32(fromWide(std::wstring_view(text).substr(0, start - lineStart))).size();
  const std::optional<TagInsertion> inserted = model_.insertTag(fromWide(text), column, entry);
  if (!inserted)
    return;
  // Line y replaced as a whole; the caret ends at its end.
  ::SendMessageW(reLabelDesign_, EM_SETSEL, lineStart, static_cast<LPARAM>(lineStart + length));
  ::SendMessageW(reLabelDesign_, EM_REPLACESEL, TRUE,
                 reinterpret_cast<LPARAM>(toWide(inserted->line).c_str()));
  ::SetFocus(reLabelDesign_);
}

void TfrmMain::showPreviewSize() {
  showingPreviewSize_ = true;
  const PreviewLabelSize& size = model_.previewLabelSize();
  for (const auto& [box, hundredths] :
       {std::pair{previewWidth_, size.width}, std::pair{previewLength_, size.length}})
    if (windowText(box) != inchesText(hundredths))
      setWindowText(box, inchesText(hundredths));
  std::optional<std::size_t> line;
  for (std::size_t i = 0; i < std::size(preview::kSupportedDpi); ++i)
    if (preview::kSupportedDpi[i] == size.dpi)
      line = i;
  showComboLine(previewDpi_, line);
  showingPreviewSize_ = false;
}

// A size typed whole goes to the model at once; text that is no size (yet)
// waits, and the box shows the size taken again when it loses the focus.
void TfrmMain::previewSizeTyped(HWND box) {
  const std::optional<int> typed = parseInches(windowText(box));
  if (!typed || *typed < kPreviewSizeMinimum || *typed > kPreviewSizeMaximum)
    return;
  PreviewLabelSize size = model_.previewLabelSize();
  (box == previewWidth_ ? size.width : size.length) = *typed;
  if (size == model_.previewLabelSize())
    return;
  model_.setPreviewLabelSize(size);
  labelPreview_.redraw();
}

void TfrmMain::previewSizeStepped(HWND arrows, int steps) {
  PreviewLabelSize size = model_.previewLabelSize();
  int& hundredths = arrows == previewWidthArrows_ ? size.width : size.length;
  hundredths += steps * kPreviewSizeStep;
  model_.setPreviewLabelSize(size);
  showPreviewSize();
  labelPreview_.redraw();
}

void TfrmMain::previewDpiChosen() {
  const LRESULT line = ::SendMessageW(previewDpi_, CB_GETCURSEL, 0, 0);
  if (line < 0 || line >= static_cast<LRESULT>(std::size(preview::kSupportedDpi)))
    return;
  PreviewLabelSize size = model_.previewLabelSize();
  size.dpi = preview::kSupportedDpi[line];
  model_.setPreviewLabelSize(size);
  labelPreview_.redraw();
}

// ---- status bar ------------------------------------------------------------------

std::string TfrmMain::clockText() {
  wchar_t date[80]{};
  wchar_t time[80]{};
  ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, 80, nullptr);
  ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, nullptr, nullptr, time, 80);
  return fromWide(date) + " " + fromWide(time);
}

std::string TfrmMain::testPrintTimeNow() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return formatTestPrintTime(now.wHour, now.wSecond, userTimeLocale());
}

void TfrmMain::updateClock() {
  const std::wstring text = toWide(clockText());
  ::SendMessageW(statusBar_, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(text.c_str()));
  // Tick again just after the next full second.
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  ::SetTimer(window_, kClockTimer, 1000u - now.wMilliseconds + 5u, nullptr);
}

// ---- messages --------------------------------------------------------------------

void TfrmMain::command(ControlId id, int code, HWND control) {
  if (code == BN_CLICKED) {
    switch (id) {
    case ControlId::BtnAddPrinter:
      btnAddPrinterClick();
      return;
    case ControlId::BtnDeletePrinter:
      btnDeletePrinterClick();
      return;
    case ControlId::BtnSetupSave:
      btnSetupSaveClick();
      return;
    case ControlId::BtnSetupRM:
      btnSetupRMClick();
      return;
    case ControlId::BtnHealthCheck:
      btnHealthCheckClick();
      return;
    case ControlId::BtnLoadLast:
      btnLoadLastClick();
      return;
    case ControlId::BtnSaveDesign:
      btnSaveDesignClick();
      return;
    case ControlId::BtnTestDesign:
      btnTestDesignClick();
      return;
    default:
      break;
    }
  }
  switch (id) {
  case ControlId::ListTags:
    if (code == LBN_DBLCLK)
      listTagsDblClick();
    return;
  case ControlId::ProgramIcon:
    if (code == STN_DBLCLK)
      ProgramIconDblClick();
    return;
  case ControlId::ReLabelDesign:
    if (code == EN_CHANGE)
      labelPreview_.setDesignText(windowText(reLabelDesign_));
    return;
  case ControlId::PreviewWidth:
  case ControlId::PreviewLength:
    if (code == EN_CHANGE && !showingPreviewSize_)
      previewSizeTyped(control);
    else if (code == EN_KILLFOCUS)
      showPreviewSize();
    return;
  case ControlId::PreviewDpi:
    if (code == CBN_SELCHANGE)
      previewDpiChosen();
    return;
  case ControlId::LookTestPrinter:
    if (code == CBN_SELCHANGE)
      model_.chooseTestPrinter(windowText(lookTestPrinter_));
    return;
  default:
    break;
  }
  RowField* field = fieldOf(control);
  if (!field || showingRow_)
    return;
  const bool changed =
      field->description->printerChoice ? code == CBN_SELCHANGE : code == EN_CHANGE;
  if (changed && !model_.setFieldValue(field->description->field, windowText(control)))
    showCurrentRow(); // the control shows what the table holds again
}

LRESULT TfrmMain::notify(const NMHDR& header) {
  if (header.hwndFrom == pageMain_ && header.code == TCN_SELCHANGE) {
    showPage(static_cast<int>(::SendMessageW(pageMain_, TCM_GETCURSEL, 0, 0)));
    return 0;
  }
  if ((header.hwndFrom == previewWidthArrows_ || header.hwndFrom == previewLengthArrows_) &&
      header.code == UDN_DELTAPOS) {
    previewSizeStepped(header.hwndFrom, reinterpret_cast<const NMUPDOWN&>(header).iDelta);
    return TRUE; // the arrows keep their position
  }
  if (header.hwndFrom == gridConfig_ && header.code == LVN_ITEMCHANGED && !showingRow_) {
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
    if (change.iItem < 0 || !(change.uChanged & LVIF_STATE) ||
        !(change.uNewState & LVIS_SELECTED) || (change.uOldState & LVIS_SELECTED))
      return 0;
    if (!model_.selectRow(static_cast<std::size_t>(change.iItem)))
      showCurrentRow();
  }
  return 0;
}

LRESULT CALLBACK TfrmMain::choiceBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<TfrmMain*>(data);
  if (message == WM_CHAR) {
    const auto character = static_cast<wchar_t>(wParam);
    const bool control = (::GetKeyState(VK_CONTROL) & 0x8000) || (::GetKeyState(VK_MENU) & 0x8000);
    if (character >= L' ' && character != 0x7f && !IS_HIGH_SURROGATE(character) &&
        !IS_LOW_SURROGATE(character) && !control) {
      if (RowField* field = self->fieldOf(box))
        self->choiceTyped(*field, character);
      return 0;
    }
  }
  return ::DefSubclassProc(box, message, wParam, lParam);
}

LRESULT TfrmMain::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_COMMAND:
    command(static_cast<ControlId>(LOWORD(wParam)), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    return 0;
  case WM_NOTIFY:
    return notify(*reinterpret_cast<const NMHDR*>(lParam));
  case WM_SIZE:
    layout();
    // Maximizing moves every control at once; redraw them all, not only the
    // part of the window that is new.
    ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    return 0;
  case WM_TIMER:
    if (wParam == kClockTimer) {
      updateClock();
      return 0;
    }
    break;
  case WM_CTLCOLORSTATIC: {
    // Texts stand on the page's body.
    auto dc = reinterpret_cast<HDC>(wParam);
    HBRUSH brush = pageBrush();
    LOGBRUSH colour{};
    ::GetObjectW(brush, sizeof colour, &colour);
    ::SetBkColor(dc, colour.lbColor);
    ::SetTextColor(dc, ::GetSysColor(::IsWindowEnabled(reinterpret_cast<HWND>(lParam))
                                         ? COLOR_WINDOWTEXT
                                         : COLOR_GRAYTEXT));
    return reinterpret_cast<LRESULT>(brush);
  }
  case WM_DRAWITEM: {
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (item->hwndItem == ProgramIcon_) {
      LOGBRUSH colour{};
      ::GetObjectW(pageBrush(), sizeof colour, &colour);
      drawProgramPicture(item->hDC, item->rcItem, colour.lbColor);
      return TRUE;
    }
    break;
  }
  case WM_DPICHANGED: {
    applyDpi(HIWORD(wParam));
    const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
    ::SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    layout();
    return 0;
  }
  case WM_SYSCOMMAND:
    if ((wParam & 0xFFF0) == kAboutCommand) {
      ProgramIconDblClick();
      return 0;
    }
    break;
  case WM_CLOSE:
    // Alt+F4, the close box, the system menu: the window goes only when no
    // unsaved work would be lost without a word.
    if (FormCloseQuery())
      ::DestroyWindow(window_);
    return 0;
  case WM_DESTROY:
    ::KillTimer(window_, kClockTimer);
    if (endsProgram_)
      ::PostQuitMessage(0);
    return 0;
  default:
    break;
  }
  return ::DefWindowProcW(window_, message, wParam, lParam);
}

} // namespace velmora::config::win
