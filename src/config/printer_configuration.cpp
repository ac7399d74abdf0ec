#include "config/printer_configuration.h"

#include "formats/label_block.h"
#include "platform/file_system.h"
#include "platform/unicode.h"
#include "xbase/host_layout.h"

#include <utility>

namespace velmora::config {

namespace {

std::string withoutTrailingBlanks(std::string text) {
  while (!text.empty() && text.back() == ' ')
    text.pop_back();
  return text;
}

} // namespace

std::optional<std::size_t> findPrinterChoice(const std::vector<std::string>& choices,
                                             std::string_view typed) {
  if (typed.empty())
    return std::nullopt;
  const std::u32string wanted = platform::upperCase(platform::utf8ToUtf32(typed));
  for (std::size_t i = 0; i < choices.size(); ++i) {
    const std::u32string choice = platform::upperCase(platform::utf8ToUtf32(choices[i]));
    if (choice.starts_with(wanted))
      return i;
  }
  return std::nullopt;
}

std::optional<std::size_t> PrinterTypeAhead::type(const std::vector<std::string>& choices,
                                                  std::string_view character, bool afterPause) {
  if (afterPause)
    typed_.clear();
  const std::string wanted = typed_ + std::string(character);
  const std::optional<std::size_t> index = findPrinterChoice(choices, wanted);
  if (index)
    typed_ = wanted;
  return index;
}

namespace {

std::string refusalText(const std::vector<formats::RowProblem>& problems,
                        const std::vector<std::string>& sources) {
  std::string text = "The printer list is not saved: the spooler could not serve it as it stands.";
  for (const formats::RowProblem& problem : problems)
    text +=
        "\r\n" +
        formats::rowLabel(problem.row, problem.row < sources.size() ? sources[problem.row] : "") +
        ": " + problem.problem;
  return text;
}

} // namespace

PrinterListRefused::PrinterListRefused(const std::vector<formats::RowProblem>& problems,
                                       const std::vector<std::string>& sources)
    : std::runtime_error(refusalText(problems, sources)) {}

PrinterConfiguration::PrinterConfiguration()
    : tblConfig_("tblConfig", formats::voPersistentData), tblRMSpool_("tblRMSpool") {
  formats::addConfigurationFields(tblConfig_);
  tblConfig_.AfterInsert = [this](formats::TVirtualTable& table) { tblConfigAfterInsert(table); };
  tblRMSpool_.SetDatabaseName(".\\");
  tblRMSpool_.SetTableName(xbase::kPrinterListTable);
  tblRMSpool_.SetTableType(xbase::TApolloTableType::ttSXNTX);
  tblRMSpool_.SetReadOnly(true);
  savedRows_ = tblConfig_.saveToXmlString();
}

void PrinterConfiguration::OpenConfiguration() {
  if (!platform::fileExists(formats::kConfigurationFile))
    saveAndActivate();
  try {
    tblConfig_.LoadFromFile(formats::kConfigurationFile, true);
  } catch (...) {
    savedRows_ = tblConfig_.saveToXmlString(); // what the failed load left
    throw;
  }
  savedRows_ = tblConfig_.saveToXmlString();
  tblConfig_.Open();
  openHostPrinterTable();
}

void PrinterConfiguration::openHostPrinterTable() {
  printerChoices_.clear();
  tblRMSpool_.Open();
  std::vector<std::string> choices;
  xbase::TApolloField& printer = tblRMSpool_.FieldByName("PRINTER");
  for (tblRMSpool_.First(); !tblRMSpool_.Eof(); tblRMSpool_.Next())
    choices.push_back(withoutTrailingBlanks(printer.AsString()));
  printerChoices_ = std::move(choices);
}

void PrinterConfiguration::addPrinter() {
  tblConfig_.Append();
}

void PrinterConfiguration::deletePrinter() {
  tblConfig_.Delete();
}

void PrinterConfiguration::saveAndActivate() {
  const formats::TDataSetState state = tblConfig_.State();
  if (state == formats::TDataSetState::dsEdit || state == formats::TDataSetState::dsInsert)
    tblConfig_.Post();
  if (const std::vector<formats::RowProblem> problems = rowProblems(); !problems.empty())
    throw PrinterListRefused(problems, sourcePrinters());
  tblConfig_.SaveToXML(formats::kConfigurationFile);
  savedRows_ = tblConfig_.saveToXmlString();
}

std::vector<formats::RowProblem> PrinterConfiguration::rowProblems() const {
  namespace field = formats::configuration_field;
  std::vector<formats::PrinterRow> rows;
  for (std::size_t row = 0; row < gridRowCount(); ++row)
    rows.push_back({gridText(row, field::kSource), gridText(row, field::kDest),
                    gridText(row, field::kBackup)});
  return formats::checkPrinterRows(rows);
}

bool PrinterConfiguration::hasUnsavedChanges() const {
  const formats::TDataSetState state = tblConfig_.State();
  if (state == formats::TDataSetState::dsEdit || state == formats::TDataSetState::dsInsert)
    return true;
  return tblConfig_.saveToXmlString() != savedRows_;
}

void PrinterConfiguration::setFieldValue(std::string_view fieldName, std::string_view value) {
  formats::TVirtualField& field = tblConfig_.FieldByName(fieldName);
  if (tblConfig_.State() == formats::TDataSetState::dsBrowse)
    tblConfig_.Edit();
  field.SetAsString(value);
}

std::string PrinterConfiguration::gridText(std::size_t row, std::string_view fieldName) const {
  const formats::TVirtualField* field = tblConfig_.FindField(fieldName);
  if (!field || row >= tblConfig_.visibleRowCount())
    return {};
  return tblConfig_.cellText(row, static_cast<std::size_t>(field->FieldNo() - 1));
}

std::optional<std::size_t> PrinterConfiguration::currentGridRow() const {
  const std::optional<std::size_t> row = tblConfig_.currentRow();
  if (!row || *row >= tblConfig_.visibleRowCount())
    return std::nullopt;
  return row;
}

std::string PrinterConfiguration::currentValue(std::string_view fieldName) const {
  const std::optional<std::size_t> row = currentGridRow();
  return row ? gridText(*row, fieldName) : std::string();
}

std::vector<std::string> PrinterConfiguration::sourcePrinters() const {
  std::vector<std::string> sources;
  for (std::size_t row = 0; row < tblConfig_.visibleRowCount(); ++row)
    sources.push_back(gridText(row, formats::configuration_field::kSource));
  return sources;
}

void PrinterConfiguration::tblConfigAfterInsert(formats::TVirtualTable& table) {
  const formats::PrefixTexts defaults = formats::defaultPrefixTexts();
  table.FieldByName(formats::configuration_field::kLabelsText).SetAsString(defaults.labelsText);
  table.FieldByName(formats::configuration_field::kMapText).SetAsString(defaults.mapText);
  table.FieldByName(formats::configuration_field::kTimeText).SetAsString(defaults.timeText);
  table.FieldByName(formats::configuration_field::kTotalText).SetAsString(defaults.totalText);
  table.FieldByName(formats::configuration_field::kDesign).SetAsString(formats::kDefaultDesignFile);
}

} // namespace velmora::config
