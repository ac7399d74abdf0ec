// The printer configuration both programs share: the file's name and the
// eight fields the configuration program creates and the spooler reads
// (looked up by name without regard to case).
#pragma once

#include "formats/virtual_table.h"

#include <array>
#include <cstddef>
#include <string_view>

namespace velmora::formats {

inline constexpr const char* kConfigurationFile = "VelmoraLabelConfig.XML";
// What the spooler says, in a message box, when the file is missing. It names
// the configuration program as it is started on this system: "Dovetack.exe"
// on Windows, "Dovetack" elsewhere.
inline constexpr const char* kMissingConfigurationMessage =
#ifdef _WIN32
    "Configuration file not found. Please run Dovetack.exe";
#else
    "Configuration file not found. Please run Dovetack";
#endif

struct ConfigurationField {
  std::string_view name;
  std::size_t width; // characters
};

// The field names, one constant each; every lookup by name uses these.
namespace configuration_field {
inline constexpr std::string_view kSource = "Source"; // the source printer
inline constexpr std::string_view kDest = "Dest";     // the destination printer
inline constexpr std::string_view kBackup = "Backup"; // the backup printer (may be null)
inline constexpr std::string_view kDesign = "Design"; // the label design file
inline constexpr std::string_view kLabelsText = "LabelsText";
inline constexpr std::string_view kMapText = "MapText";
inline constexpr std::string_view kTimeText = "TimeText";
inline constexpr std::string_view kTotalText = "TotalText";
} // namespace configuration_field

inline constexpr std::array<ConfigurationField, 8> kConfigurationFields = {{
    {configuration_field::kSource, 8},
    {configuration_field::kDest, 8},
    {configuration_field::kBackup, 8},
    {configuration_field::kDesign, 25},
    {configuration_field::kLabelsText, 15},
    {configuration_field::kMapText, 15},
    {configuration_field::kTimeText, 15},
    {configuration_field::kTotalText, 15},
}};

// Gives a closed table the eight fields, in their order.
inline void addConfigurationFields(TVirtualTable& table) {
  for (const auto& field : kConfigurationFields)
    table.AddField(field.name, field.width);
}

} // namespace velmora::formats
