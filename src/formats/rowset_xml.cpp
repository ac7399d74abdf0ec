#include "formats/rowset_xml.h"

#include "platform/code_page.h"
#include "platform/unicode.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace velmora::formats {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// The first error ends the read; what was read before it is kept.
struct ReadError {
  std::string message;
};

[[noreturn]] void fail(std::string message) {
  throw ReadError{std::move(message)};
}

constexpr std::string_view kInvalidDocument = "Invalid XML document";
constexpr std::string_view kInvalidXml = "Invalid XML";

bool isAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
bool isIdentifierStart(char c) {
  return isAsciiLetter(c) || c == '_';
}
bool isIdentifierChar(char c) {
  return isIdentifierStart(c) || isDigit(c);
}
bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string asciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  return out;
}

std::string asciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && isBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

// ---------------------------------------------------------------- writing

void appendAttribute(std::string& out, std::string_view name, std::string_view value) {
  out += ' ';
  out += name;
  out += "='";
  out += escapeXmlValue(value);
  out += '\'';
}

void appendIndent(std::string& out, int level) {
  out.append(static_cast<std::size_t>(level) * 2, ' ');
}

// "c" + the count of aliased names so far, passing over any alias that a real
// field name (or an earlier alias) already answers to: a reader matches a row
// attribute to a field name first, so such a clash would file the value under
// the wrong field.
std::vector<std::string> aliasesFor(const std::vector<FieldDef>& fields) {
  std::vector<std::string> aliases(fields.size());
  std::size_t count = 0;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (isXmlIdentifier(fields[i].name))
      continue;
    for (;;) {
      std::string candidate = "c" + std::to_string(++count);
      bool taken = false;
      for (std::size_t j = 0; j < fields.size() && !taken; ++j)
        taken = sameFieldName(fields[j].name, candidate) || sameFieldName(aliases[j], candidate);
      if (!taken) {
        aliases[i] = std::move(candidate);
        break;
      }
    }
  }
  return aliases;
}

// ---------------------------------------------------------------- reading

struct Attribute {
  std::string name;  // "name" or "prefix:name", as written
  std::string value; // decoded
};

struct Tag {
  bool endTag = false;
  std::string name;            // as written, trailing "/" dropped
  std::string_view attributes; // the raw text after the name (start tags)
};

// The tag reader over the file's bytes (after a byte-order mark).
class Tokenizer final {
public:
  explicit Tokenizer(std::string_view text) : text_(text) {}

  // The next start or end tag; nullopt at the end of the file. Declarations,
  // comments and document types are passed over.
  std::optional<Tag> next() {
    for (;;) {
      const std::size_t open = text_.find('<', pos_);
      if (open == std::string_view::npos) {
        pos_ = text_.size();
        return std::nullopt;
      }
      const std::size_t rest = open + 1;
      if (at(rest, "?")) {
        pos_ = after(text_.find("?>", rest + 1), 2, "Invalid declaration tag");
      } else if (at(rest, "!--")) {
        pos_ = after(text_.find("-->", rest + 3), 3, "Invalid comment tag");
      } else if (at(rest, "!DOCTYPE")) {
        skipDocumentType(rest);
      } else if (at(rest, "/")) {
        const std::size_t close = tagClose(rest);
        pos_ = close + 1;
        return Tag{true, std::string(trimBlanks(text_.substr(rest + 1, close - rest - 1))), {}};
      } else {
        return startTag(rest);
      }
    }
  }

private:
  bool at(std::size_t pos, std::string_view what) const {
    return text_.substr(pos, what.size()) == what;
  }

  std::size_t after(std::size_t found, std::size_t length, std::string_view error) const {
    if (found == std::string_view::npos)
      fail(std::string(error));
    return found + length;
  }

  // A tag that never closes is a cut-off file, not an empty tail.
  std::size_t tagClose(std::size_t from) const {
    const std::size_t close = text_.find('>', from);
    if (close == std::string_view::npos)
      fail(std::string(kInvalidDocument));
    return close;
  }

  // Only a document type with an internal subset, "[<" ... ">]", is taken.
  void skipDocumentType(std::size_t rest) {
    constexpr std::string_view kError = "Invalid Document type tag";
    const std::size_t firstClose = text_.find('>', rest);
    const std::size_t subsetOpen = text_.find("[<", rest);
    if (subsetOpen == std::string_view::npos || firstClose == std::string_view::npos ||
        subsetOpen > firstClose)
      fail(std::string(kError));
    std::size_t pos = after(text_.find(">]", subsetOpen + 2), 2, kError);
    while (pos < text_.size() && isBlank(text_[pos]))
      ++pos;
    if (pos < text_.size() && text_[pos] == '>')
      ++pos;
    pos_ = pos;
  }

  Tag startTag(std::size_t rest) {
    const std::size_t close = tagClose(rest);
    std::string_view inner = text_.substr(rest, close - rest);
    while (!inner.empty() && isBlank(inner.front()))
      inner.remove_prefix(1);
    std::size_t nameEnd = 0;
    while (nameEnd < inner.size() && !isBlank(inner[nameEnd]))
      ++nameEnd;
    Tag tag{false, std::string(trimBlanks(inner.substr(0, nameEnd))), inner.substr(nameEnd)};
    if (!tag.name.empty() && tag.name.back() == '/')
      tag.name.pop_back();
    pos_ = close + 1;
    skipElementText(tag.name);
    return tag;
  }

  // Text that holds an (ASCII) letter, a digit, "." or ":" makes the element
  // one of content: everything up to its end tag is passed over, tags
  // included. Blanks and other punctuation between tags are ignored.
  void skipElementText(const std::string& name) {
    const std::size_t nextOpen = std::min(text_.find('<', pos_), text_.size());
    bool hasContent = false;
    for (std::size_t i = pos_; i < nextOpen && !hasContent; ++i) {
      const char c = text_[i];
      hasContent = isAsciiLetter(c) || isDigit(c) || c == '.' || c == ':';
    }
    if (!hasContent)
      return;
    const std::string endTag = "</" + name;
    std::size_t search = pos_;
    for (;;) {
      const std::size_t found = text_.find(endTag, search);
      if (found == std::string_view::npos) {
        pos_ = text_.size();
        return;
      }
      std::size_t i = found + endTag.size();
      while (i < text_.size() && isBlank(text_[i]))
        ++i;
      if (i < text_.size() && text_[i] == '>') {
        pos_ = i + 1;
        return;
      }
      search = found + 1;
    }
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

std::size_t identifierEnd(std::string_view text, std::size_t pos) {
  if (pos >= text.size() || !isIdentifierStart(text[pos]))
    return pos;
  ++pos;
  while (pos < text.size() && isIdentifierChar(text[pos]))
    ++pos;
  return pos;
}

std::vector<Attribute> parseAttributes(std::string_view raw) {
  // Decoded as UTF-8 first: a broken sequence becomes U+FFFD, so every value
  // the table receives is valid UTF-8.
  const std::string text = platform::utf32ToUtf8(platform::utf8ToUtf32(raw));
  std::vector<Attribute> attributes;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (!isIdentifierStart(text[pos])) {
      ++pos; // "/" before ">", blanks, stray characters
      continue;
    }
    std::size_t end = identifierEnd(text, pos);
    if (end < text.size() && text[end] == ':') {
      const std::size_t second = identifierEnd(text, end + 1);
      if (second == end + 1)
        fail(std::string(kInvalidXml));
      end = second;
    }
    std::string name = text.substr(pos, end - pos);
    std::size_t i = end;
    while (i < text.size() && isBlank(text[i]))
      ++i;
    if (i >= text.size() || text[i] != '=') {
      pos = end; // a word that is not part of a pair
      continue;
    }
    ++i;
    while (i < text.size() && isBlank(text[i]))
      ++i;
    std::string value;
    if (i < text.size() && (text[i] == '\'' || text[i] == '"')) {
      const std::size_t close = text.find(text[i], i + 1);
      if (close == std::string::npos)
        fail(std::string(kInvalidXml));
      value = text.substr(i + 1, close - i - 1);
      pos = close + 1;
    } else {
      const std::size_t valueEnd = identifierEnd(text, i);
      if (valueEnd == i)
        fail(std::string(kInvalidXml));
      value = text.substr(i, valueEnd - i);
      pos = valueEnd;
    }
    attributes.push_back({std::move(name), decodeXmlValue(value)});
  }
  return attributes;
}

// The last attribute whose name, in lower case, is `lowerName`.
const Attribute* findAttribute(const std::vector<Attribute>& attributes,
                               std::string_view lowerName) {
  const Attribute* found = nullptr;
  for (const auto& attribute : attributes)
    if (asciiLower(attribute.name) == lowerName)
      found = &attribute;
  return found;
}

std::optional<std::size_t> parseWidth(std::string_view text) {
  text = trimBlanks(text);
  if (text.empty())
    return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (!isDigit(c))
      return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > INT32_MAX)
      return std::nullopt;
  }
  return static_cast<std::size_t>(value);
}

struct SchemaField {
  FieldDef def;
  std::optional<std::string> alias;
};

class Reader final {
public:
  Reader(std::string_view text, std::string_view componentName,
         const std::vector<FieldDef>* tableFields, RowsetReadResult& result)
      : tokens_(text), component_(componentName), tableFields_(tableFields), result_(result) {}

  void run() {
    readSchema();
    // An XML file without a rowset schema (no field defined) is not a
    // configuration: loading it would leave a table no row can be added to.
    if (rowFields().empty())
      fail(std::string(kInvalidDocument));
    result_.schemaRead = true;
    readRows();
  }

private:
  std::string prefixed(std::string_view message) const {
    return std::string(component_) + ": " + std::string(message);
  }

  void readSchema() {
    while (auto tag = tokens_.next()) {
      const std::string name = asciiUpper(tag->name);
      if (tag->endTag && name == "S:SCHEMA")
        return;
      if (!tag->endTag && name == "S:ATTRIBUTETYPE")
        readField(*tag);
    }
  }

  void readField(const Tag& attributeType) {
    const auto names = parseAttributes(attributeType.attributes);
    const Attribute* plainName = findAttribute(names, "name");
    const Attribute* realName = findAttribute(names, "rs:name");
    SchemaField field;
    if (realName) {
      field.def.name = realName->value;
      if (plainName)
        field.alias = plainName->value;
    } else if (plainName) {
      field.def.name = plainName->value;
    }

    std::optional<Tag> datatype;
    while ((datatype = tokens_.next()))
      if (!datatype->endTag && asciiUpper(datatype->name) == "S:DATATYPE")
        break;
    if (!datatype)
      fail(std::string(kInvalidDocument));

    const auto attributes = parseAttributes(datatype->attributes);
    auto lowerValue = [&](std::string_view attributeName) -> std::optional<std::string> {
      const Attribute* found = findAttribute(attributes, attributeName);
      return found ? std::optional(asciiLower(found->value)) : std::nullopt;
    };
    const auto type = lowerValue("dt:type");
    const auto dbType = lowerValue("rs:dbtype");
    if (!type && !dbType)
      fail(std::string(kInvalidDocument));
    const bool isText = type == "string" && (dbType == "str" || dbType == "string") &&
                        lowerValue("rs:long") != "true";
    if (!isText)
      fail(prefixed("Data type is not supported"));
    const auto maxLength = lowerValue("dt:maxlength");
    const auto width = maxLength ? parseWidth(*maxLength) : std::nullopt;
    if (!width)
      fail(std::string(kInvalidDocument));
    field.def.width = *width;
    field.def.fixedWidth = lowerValue("rs:fixedlength") == "true";
    field.def.required = lowerValue("rs:maybenull") == "false";

    // A table finds its fields by name: a field without one, or a second
    // field of the same name, could never be told apart.
    if (field.def.name.empty())
      fail(prefixed("Field name missing"));
    for (const auto& existing : fields_)
      if (sameFieldName(existing.def.name, field.def.name))
        fail(prefixed("Duplicate field name '" + field.def.name + "'"));
    result_.fields.push_back(field.def);
    fields_.push_back(std::move(field));
  }

  const std::vector<FieldDef>& rowFields() const {
    return tableFields_ ? *tableFields_ : result_.fields;
  }

  std::optional<std::size_t> fieldIndex(std::string_view attributeName) const {
    const auto& fields = rowFields();
    for (std::size_t i = 0; i < fields.size(); ++i)
      if (sameFieldName(fields[i].name, attributeName))
        return i;
    for (const auto& field : fields_) {
      if (field.alias != attributeName)
        continue;
      for (std::size_t i = 0; i < fields.size(); ++i)
        if (sameFieldName(fields[i].name, field.def.name))
          return i;
    }
    return std::nullopt;
  }

  void readRows() {
    while (auto tag = tokens_.next()) {
      if (tag->endTag || asciiUpper(tag->name) != "Z:ROW")
        continue;
      Row row(rowFields().size());
      for (auto& attribute : parseAttributes(tag->attributes)) {
        const auto index = fieldIndex(attribute.name);
        if (!index)
          fail(std::string(kInvalidDocument));
        row[*index] = std::move(attribute.value);
      }
      result_.rows.push_back(std::move(row));
    }
  }

  Tokenizer tokens_;
  std::string_view component_;
  const std::vector<FieldDef>* tableFields_;
  RowsetReadResult& result_;
  std::vector<SchemaField> fields_;
};

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && asciiLower(a) == asciiLower(b);
}

} // namespace

bool isXmlIdentifier(std::string_view name) {
  if (name.empty() || isDigit(name.front()))
    return false;
  for (const char c : name)
    if (!isIdentifierChar(c))
      return false;
  return true;
}

bool sameFieldName(std::string_view a, std::string_view b) {
  return platform::upperCase(platform::utf8ToUtf32(a)) ==
         platform::upperCase(platform::utf8ToUtf32(b));
}

std::string escapeXmlValue(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (const char c : value) {
    switch (c) {
    case '&':
      out += "&#x26;";
      break;
    case '\'':
      out += "&#x27;";
      break;
    case '"':
      out += "&#x22;";
      break;
    case '<':
      out += "&#x3c;";
      break;
    case '>':
      out += "&#x3e;";
      break;
    default:
      out += c;
    }
  }
  return out;
}

std::string decodeXmlValue(std::string_view value) {
  static constexpr std::pair<std::string_view, char> kReferences[] = {
      {"&#x27;", '\''}, {"&#x39;", '\''}, {"&#x92;", '\''}, {"&#x96;", '\''}, {"&#x22;", '"'},
      {"&quot;", '"'},  {"&#x3c;", '<'},  {"&lt;", '<'},    {"&#x3e;", '>'},  {"&gt;", '>'},
      {"&#x26;", '&'},  {"&amp;", '&'},   {"&#13;", '\r'},  {"&#10;", '\n'},
  };
  std::string out;
  out.reserve(value.size());
  std::size_t pos = 0;
  while (pos < value.size()) {
    if (value[pos] == '&') {
      bool replaced = false;
      for (const auto& [reference, character] : kReferences) {
        if (value.substr(pos, reference.size()) == reference) {
          out += character;
          pos += reference.size();
          replaced = true;
          break;
        }
      }
      if (replaced)
        continue;
    }
    out += value[pos++];
  }
  return out;
}

std::string writeRowsetXml(const std::vector<FieldDef>& fields, const std::vector<Row>& rows) {
  std::string out;
  out += "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'"
         " xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'"
         " xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>";
  out += kLineEnd;
  out += "  <s:Schema id='RowsetSchema'>";
  out += kLineEnd;
  out += "    <s:ElementType name='row' content='eltOnly' rs:updatable='true'>";
  out += kLineEnd;

  const auto aliases = aliasesFor(fields);
  std::vector<const std::string*> rowNames;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const FieldDef& field = fields[i];
    appendIndent(out, 3);
    out += "<s:AttributeType";
    if (aliases[i].empty()) {
      appendAttribute(out, "name", field.name);
    } else {
      appendAttribute(out, "name", aliases[i]);
      appendAttribute(out, "rs:name", field.name);
    }
    rowNames.push_back(aliases[i].empty() ? &field.name : &aliases[i]);
    appendAttribute(out, "rs:number", std::to_string(i + 1));
    if (!field.required && !field.readOnly)
      appendAttribute(out, "rs:nullable", "true");
    if (!field.readOnly)
      appendAttribute(out, "rs:writeunknown", "true");
    out += '>';
    out += kLineEnd;
    appendIndent(out, 4);
    out += "<s:datatype";
    appendAttribute(out, "dt:type", "string");
    appendAttribute(out, "dt:maxLength", std::to_string(field.width));
    appendAttribute(out, "rs:dbtype", "str");
    if (field.fixedWidth)
      appendAttribute(out, "rs:fixedlength", "true");
    if (field.required && !field.readOnly)
      appendAttribute(out, "rs:maybenull", "false");
    out += " />";
    out += kLineEnd;
    appendIndent(out, 3);
    out += "</s:AttributeType>";
    out += kLineEnd;
  }

  out += "      <s:extends type='rs:rowbase' />";
  out += kLineEnd;
  out += "    </s:ElementType>";
  out += kLineEnd;
  out += "  </s:Schema>";
  out += kLineEnd;
  out += "  <rs:data>";
  out += kLineEnd;
  for (const Row& row : rows) {
    out += "    <z:row";
    for (std::size_t i = 0; i < fields.size() && i < row.size(); ++i)
      if (row[i])
        appendAttribute(out, *rowNames[i], *row[i]);
    out += " />";
    out += kLineEnd;
  }
  out += "  </rs:data>";
  out += kLineEnd;
  out += "</xml>";
  return out;
}

RowsetReadResult readRowsetXml(std::string_view bytes, std::string_view componentName,
                               const std::vector<FieldDef>* tableFields) {
  RowsetReadResult result;
  std::string_view text = bytes;
  const bool marked = text.substr(0, kUtf8Mark.size()) == kUtf8Mark;
  if (marked)
    text.remove_prefix(kUtf8Mark.size());
  if (text.size() < 5) {
    result.error = "Stream read error";
    return result;
  }
  const bool isXml =
      text[0] == '<' && (equalsIgnoringAsciiCase(text.substr(1, 3), "xml") ||
                         (text[1] == '?' && equalsIgnoringAsciiCase(text.substr(2, 3), "xml")));
  if (!isXml) {
    // The table component's own binary stream layout is never written by
    // either program, so content that is not XML is a broken file here.
    result.error = std::string(componentName) + ": Unsupported file format: not an XML rowset";
    return result;
  }
  // A file saved in the ANSI code page (an editor's "ANSI" save of a file
  // both programs write in UTF-8) is no UTF-8: it is read in that code page,
  // so "L\xC4BEL5" is the printer LÄBEL5, not one whose name holds U+FFFD. A
  // file with the mark says it is UTF-8; its broken bytes stay U+FFFD.
  std::string fromAnsi;
  if (!marked && !platform::isValidUtf8(text)) {
    fromAnsi = platform::ansiToUtf8(text);
    text = fromAnsi;
  }
  try {
    Reader(text, componentName, tableFields, result).run();
  } catch (ReadError& error) {
    result.error = std::move(error.message);
  }
  return result;
}

} // namespace velmora::formats
