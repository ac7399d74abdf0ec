// The state of a dataset component, shared by the in-memory table
// (TVirtualTable) and the DBF table component (xbase's TApolloTable):
// closed, browsing, editing the current row, or inserting a new one.
// Header-only, so that the xbase layer may use it without linking formats.
#pragma once

namespace velmora::formats {

enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

} // namespace velmora::formats
