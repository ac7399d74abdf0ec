#include "config/label_design_editor.h"

#include "formats/label_block.h"
#include "platform/file_system.h"
#include "platform/unicode.h"

#include <stdexcept>

namespace velmora::config {

std::string withCrLfLineBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n')
        ++i;
      out += "\r\n";
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::string LabelDesignEditor::revertToLast() {
  const std::string bytes = platform::readWholeFile(kDesignFile);
  formats::DecodedText decoded = formats::decodeDesignText(bytes);
  encoding_ = decoded.encoding;
  return withCrLfLineBreaks(decoded.text);
}

void LabelDesignEditor::saveDesign(std::string_view text) const {
  platform::writeWholeFile(kDesignFile, formats::encodeText(withCrLfLineBreaks(text), encoding_));
}

TagInsertion insertTag(std::string_view line, std::size_t column, std::string_view tag) {
  const std::u32string characters = platform::utf8ToUtf32(line);
  const std::size_t at = column < characters.size() ? column : characters.size();
  std::string result = platform::utf32ToUtf8(std::u32string_view(characters).substr(0, at));
  result += tag;
  result += platform::utf32ToUtf8(std::u32string_view(characters).substr(at));
  const std::size_t caret = platform::codePointCount(result);
  return {std::move(result), caret};
}

std::size_t designTagCount() {
  return formats::kDesignTags.size();
}

std::string_view designTagAt(std::optional<std::size_t> selectedEntry) {
  if (!selectedEntry || *selectedEntry >= formats::kDesignTags.size())
    throw std::out_of_range(
        "List index out of bounds (" +
        std::to_string(selectedEntry ? static_cast<long long>(*selectedEntry) : -1LL) + ")");
  return formats::kDesignTags[*selectedEntry];
}

} // namespace velmora::config
