// The configuration program's texts shared by its operations and its window:
// the application title that heads every message box, and the rule that
// turns an error's message into the text of the error box.
//
// Pure functions; any thread.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::config {

// The task-bar text and the title of the program's plain message boxes and
// error boxes.
inline constexpr std::string_view kApplicationTitle = "Velmora's Cartavell";

// The main window's caption.
inline constexpr std::string_view kMainWindowCaption = "Velmora Rizizar Configerator";

// The name of the single-instance guard, held per user logon.
inline constexpr std::string_view kSingleInstanceName = "Cartavell";

// The system menu's entry that shows the about box (F1 shows it too).
inline constexpr std::string_view kAboutMenuItem = "About Dovetack...";

// The maker's web address that the about box's link label shows and opens.
inline constexpr std::string_view kMakerWebAddress = "https://www.velmora.example/cartavell";

// A version line of the about box: the executable beside the program whose
// FileVersion it shows, and the line's text before that.
struct VersionLine {
  std::string_view fileName;
  std::string_view caption;
};
inline constexpr std::array<VersionLine, 2> kVersionLines = {{
    {"Cartavell.EXE", "Cartavell"},
    {"CartavellService.EXE", "CartavellService"},
}};

// The text of a version line for the executables in `programFolder`: the
// caption, " v" and the FileVersion string of the version block 040904E4
// (empty when that block lacks it). Nothing when the file is missing or
// carries no version information: the line keeps its text.
std::optional<std::string> aboutVersionText(std::string_view programFolder,
                                            const VersionLine& line);

// The error box shows the error's own message, with a full stop added when
// its last character has a code above that of the full stop (so "... found!"
// and "... 1.2." stay as they are, "... denied" gets one).
std::string errorBoxText(std::string_view message);

} // namespace velmora::config
