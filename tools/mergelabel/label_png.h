// mergelabel's --png: the merged labels drawn as the printer would print
// them, one below the other in one PNG. Built where Qt is (Linux).
#pragma once

#include <string>
#include <vector>

namespace velmora::tools {

// Renders the merged job's lines and writes the picture to `path`. The
// renderer's notes go to `notes`. Throws std::runtime_error when the job is
// not ZPL ("no preview for this design") or the file cannot be written.
void writeLabelPng(const std::vector<std::string>& mergedLines, int dpi, const std::string& path,
                   std::vector<std::string>& notes);

} // namespace velmora::tools
