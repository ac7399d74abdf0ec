// The XML rowset file of the printer configuration (the persistence format of
// ActiveX Data Objects, the subset both programs write and read): writing a
// list of text fields and rows to the exact bytes of the file, and reading such
// a file back into fields and rows.
//
// The reader stops at the first error and hands back what it read before it
// together with the error's message, so that its table can be left exactly as
// the failed load leaves it (fields read so far; rows before a broken row).
// A file is UTF-8; one without a byte-order mark that is not valid UTF-8 (saved
// by an editor in the ANSI code page) is read whole in the ANSI code page.
//
// Pure functions on bytes, no file access, no shared state but the ANSI code
// page (platform/code_page.h); any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::formats {

// One text field as the file describes it.
struct FieldDef {
  std::string name;
  std::size_t width = 0; // in characters (code points)
  bool required = false;
  bool readOnly = false;
  bool fixedWidth = false;

  bool operator==(const FieldDef&) const = default;
};

// A row's values in field order; nullopt is null (an empty text is not).
using Row = std::vector<std::optional<std::string>>;

// The whole file: UTF-8 without a byte-order mark or declaration, CR LF line
// ends and none after the last line, apostrophes around values.
std::string writeRowsetXml(const std::vector<FieldDef>& fields, const std::vector<Row>& rows);

// Whether `name` goes into the file as it is; any other name is written under
// an alias "c1", "c2", ... with the real name in "rs:name".
bool isXmlIdentifier(std::string_view name);

// The escapes of an attribute value: & ' " < > as hexadecimal references.
std::string escapeXmlValue(std::string_view value);
// The reference decoding applied to every attribute value read, in one pass.
std::string decodeXmlValue(std::string_view value);

struct RowsetReadResult {
  std::vector<FieldDef> fields;     // the file's fields, as far as they were read
  bool schemaRead = false;          // the schema was read whole; the table opens
  std::vector<Row> rows;            // whole rows read before any error, over the
                                    // table's fields; values not yet cut to width
  std::optional<std::string> error; // message of the error that stopped it
};

// Reads the file's bytes. `componentName` prefixes the messages that carry it
// ("tblConfig: Data type is not supported"). With `tableFields` the rows are
// matched to those fields instead of the file's own.
RowsetReadResult readRowsetXml(std::string_view bytes, std::string_view componentName,
                               const std::vector<FieldDef>* tableFields = nullptr);

// Field names compare without regard to case, code point by code point.
bool sameFieldName(std::string_view a, std::string_view b);

} // namespace velmora::formats
