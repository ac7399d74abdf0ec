// The host's data directory as both programs use it, and the lock protocol
// by which a spooler shows that it serves a printer folder.
//
// The working directory is the host's data directory: RMSpool.DBF (the
// printer list), LBLPRDEF.DBF (the label setup) and one folder per printer,
// named by its PRINTER value, holding "*.spl" jobs, the lock table
// LOCKSPL.DBF and, while the host spooler reports an error, RMSPOOL.ERR.
// A folder is served while some process keeps its LOCKSPL.DBF open with the
// whole-table lock; nothing in the table's content matters.
//
// The functions work on the caller's TApolloTable or open their own; call
// them from the program's main thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "xbase/apollo_table.h"

namespace velmora::xbase {

inline constexpr const char* kLockTableName = "LOCKSPL.DBF";
inline constexpr const char* kProbeTableName = "LockSPL.DBF";
inline constexpr const char* kHostErrorFile = "RMSPOOL.ERR";
inline constexpr const char* kPrinterListTable = "RMSpool.DBF";
inline constexpr const char* kLabelSetupTable = "LBLPRDEF.DBF";

// Whether two printer names name the same printer: the host compares them
// without regard to the case of the letters a to z (a printer's name is
// letters, digits and underscores).
bool samePrinterName(std::string_view a, std::string_view b);

// Creates folder\LOCKSPL.DBF with the single field DUMMY C(10) when no such
// file exists (in any case of its name); an existing one is left as it is.
// The file is made exclusively, so a table that another process creates at
// the same moment is never written over. Throws EApolloError when it cannot
// be created.
void createLockTable(std::string_view folder);

// Claims a source printer's folder ".\<printer>": makes the folder when it
// is missing, sets `lockTable` up for its LOCKSPL.DBF (creating the table
// from BeforeOpen when missing), opens it shared and takes the whole-table
// lock. The lock lasts while `lockTable` stays open; closing it gives the
// folder up. Returns whether the lock was obtained: another spooler that
// holds the folder lets the open succeed but keeps the lock. Throws
// EApolloError when the folder or table cannot be made or opened.
bool claimSourceFolder(TApolloTable& lockTable, std::string_view printerName);

enum class DestinationState { Down, Up, UpWithError };

// Probes a destination printer's folder: Up when another holder keeps the
// whole-table lock on its lock table, UpWithError when RMSPOOL.ERR lies
// beside it as well, Down otherwise (no folder, no lock table, a table that
// cannot be opened, or nobody holding it). A lock table that may be read but
// not written is probed through a read-only open. Never creates anything
// and never fails.
DestinationState probeDestination(std::string_view printerName);

// The PRINTER values of .\RMSpool.DBF in record order, trailing blanks
// removed. Throws EApolloError as the open does ("Table, file or directory
// does not exist.\rFile: .\RMSpool.DBF").
std::vector<std::string> readPrinterNames();

} // namespace velmora::xbase
