// Arbitrary text through the ZPL renderer, at each resolution: it must not
// crash, and the drawing must stay within its limits whatever the text asks
// for (label size, number of operations, font size, a field's text: what a
// printer takes of a field, each of its bytes at most three once decoded).
#include "preview/zpl_renderer.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size > 64 * 1024)
    return 0; // the size limit of one input; the renderer is linear in it
  const std::string_view text(reinterpret_cast<const char*>(bytes), size);
  const int dpi = velmora::preview::kSupportedDpi[size % 4];
  const auto rendering = velmora::preview::renderZpl(text, {dpi, 0, 0, 20});
  if (rendering.labels.size() > 20)
    std::abort();
  for (const auto& label : rendering.labels) {
    if (label.widthDots < 1 || label.lengthDots < 1 ||
        static_cast<long long>(label.widthDots) * label.lengthDots >
            velmora::preview::kMaxLabelDots ||
        label.ops.size() > velmora::preview::kMaxOpsPerLabel)
      std::abort();
    for (const auto& op : label.ops)
      if (op.fontHeight > velmora::preview::kMaxFontDots || op.width < 0 || op.height < 0 ||
          op.thickness < 0 || op.text.size() > 3 * velmora::preview::kMaxFieldDataBytes)
        std::abort();
  }
  return 0;
}
