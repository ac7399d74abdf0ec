// The printer configuration both programs share: the file's name and the
// eight fields the configuration program creates and the spooler reads
// (looked up by name without regard to case).
#pragma once

#include "formats/virtual_table.h"

#include <array>
#include <cstddef>
#include <string_view>

namespace velmora {

inline constexpr const char* kConfigurationFile = "VelmoraLabelConfig.XML";

struct ConfigurationField {
  std::string_view name;
  std::size_t width; // characters
};

inline constexpr std::array<ConfigurationField, 8> kConfigurationFields = {{
    {"Source", 8},
    {"Dest", 8},
    {"Backup", 8},
    {"Design", 25},
    {"LabelsText", 15},
    {"MapText", 15},
    {"TimeText", 15},
    {"TotalText", 15},
}};

// Gives a closed table the eight fields, in their order.
inline void AddConfigurationFields(TVirtualTable& table) {
  for (const auto& field : kConfigurationFields)
    table.AddField(field.name, field.width);
}

} // namespace velmora
