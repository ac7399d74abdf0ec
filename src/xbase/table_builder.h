// Making a whole table in one call: the host's tables for the tools and
// tests that play the host (hostsim, the configuration program's fixtures).
// Main thread, like every table operation.
#pragma once

#include "xbase/apollo_field.h"

#include <string>
#include <vector>

namespace velmora::xbase {

struct TColumnDef {
  std::string name;
  std::string type; // one type letter: C, N, L, D, ...
  int width;
  int decimals;
};

// Creates `fileName` in the working directory with `columns` (replacing a
// file of that name) and appends `rows`, each value converted by its
// column's kind. Throws EApolloError.
void createTableWithRecords(const std::string& fileName, const std::vector<TColumnDef>& columns,
                            const std::vector<std::vector<TFieldValue>>& rows);

} // namespace velmora::xbase
