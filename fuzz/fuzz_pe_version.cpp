// Fuzzes the reader of Windows executables' version resources with any
// bytes, as a damaged or hostile "Cartavell.EXE" beside Dovetack would give
// it: it must answer or give nothing, never read outside its input. The same
// bytes are also read as a VS_VERSIONINFO block on their own.
#include "platform/pe_version_resource.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (const auto info = velmora::platform::extractVersionResource(bytes))
    (void)velmora::platform::findVersionString(*info, "040904E4", "FileVersion");
  (void)velmora::platform::findVersionString(bytes, "040904E4", "FileVersion");
  return 0;
}
