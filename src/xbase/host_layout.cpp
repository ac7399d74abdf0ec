#include "xbase/host_layout.h"

#include "platform/file_system.h"
#include "xbase/dbf_table.h"

#include <algorithm>

namespace velmora::xbase {

void createLockTable(std::string_view folder) {
  std::string path(folder);
  if (path.empty() || (path.back() != '\\' && path.back() != '/')) {
    path += '\\';
  }
  // Made exclusively rather than "when missing, create": another spooler or
  // the host may create the table at the same moment, and a table it has
  // just made (and may already hold) must not be written over. Whoever comes
  // second finds the file and opens what the other made.
  try {
    DbfTable::createNew(path + kLockTableName, {DbfField{"DUMMY", 'C', 10, 0, 0}});
  } catch (const std::exception& error) {
    throw EApolloError("Cannot create table " + path + kLockTableName + ": " + error.what(),
                       error.what());
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
    // A lock table the spooler may read but not write (the host's spooler
    // runs under another account) is probed through a read-only open: the
    // lock test needs no write access. A folder or lock table that cannot be
    // opened at all counts as down.
    try {
      probe.SetReadOnly(true);
      probe.Open();
    } catch (const std::exception&) {
    }
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
