#include "xbase/host_layout.h"

#include "platform/file_system.h"

namespace velmora::xbase {

void createLockTable(std::string_view folder) {
  std::string path(folder);
  if (path.empty() || (path.back() != '\\' && path.back() != '/')) {
    path += '\\';
  }
  if (platform::fileExists(path + kLockTableName)) {
    return;
  }
  TApolloTable creator("LockTableCreator");
  if (!creator.CreateNew(path + kLockTableName, 1, 1)) {
    throw EApolloError("Cannot create table " + path + kLockTableName + ": " +
                       creator.failureCause());
  }
  creator.CreateField("DUMMY", "C", 10, 0);
  if (creator.CreateExec() == 0) {
    throw EApolloError("Cannot create table " + path + kLockTableName + ": " +
                       creator.failureCause());
  }
}

bool claimSourceFolder(TApolloTable& lockTable, std::string_view printerName) {
  const std::string folder = ".\\" + std::string(printerName);
  if (!platform::directoryExists(folder) && !platform::createDirectory(folder)) {
    throw EApolloError("Cannot create folder " + folder);
  }
  lockTable.Close();
  lockTable.SetTableType(TApolloTableType::ttSXNTX);
  lockTable.SetDatabaseName(folder);
  lockTable.SetTableName(kLockTableName);
  lockTable.BeforeOpen = [folder](TApolloTable&) { createLockTable(folder); };
  lockTable.Open();
  return lockTable.FLock();
}

DestinationState probeDestination(std::string_view printerName) {
  TApolloTable probe("LockTableProbe");
  probe.SetTableType(TApolloTableType::ttSXNTX);
  probe.SetTableName(kProbeTableName);
  DestinationState state = DestinationState::Down;
  try {
    probe.SetDatabaseName(printerName);
    probe.Open();
  } catch (const std::exception&) {
    // a folder or lock table that cannot be opened counts as down
  }
  try {
    if (probe.Locked(0)) {
      state = platform::fileExists(std::string(printerName) + "\\" + kHostErrorFile)
                  ? DestinationState::UpWithError
                  : DestinationState::Up;
    }
  } catch (const std::exception&) {
    state = DestinationState::Down;
  }
  probe.Close();
  return state;
}

std::vector<std::string> readPrinterNames() {
  TApolloTable printers("RMSpool");
  printers.SetTableType(TApolloTableType::ttSXNTX);
  printers.SetDatabaseName(".\\");
  printers.SetTableName(kPrinterListTable);
  printers.SetReadOnly(true);
  printers.Open();
  std::vector<std::string> names;
  TApolloField& printer = printers.FieldByName("PRINTER");
  for (printers.First(); !printers.Eof(); printers.Next()) {
    names.push_back(printer.AsString());
  }
  return names;
}

} // namespace velmora::xbase
