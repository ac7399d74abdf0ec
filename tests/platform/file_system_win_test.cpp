// Files on Windows (and under Wine), on real files: whole-file saves with the
// read-only attribute, the attributes a file keeps, links, and a folder in
// which the user may not create files; the removal of read-only files; and
// entries whose names Windows cannot open as plain files ("aux.spl",
// "what?.spl"), which every function refuses without opening them.
#include "platform/file_system.h"

#include "child_process.h"
#include "platform/file_move.h"
#include "platform/file_version.h"
#include "platform/random_access_file.h"
#include "platform/win32_support.h"
#include "temp_dir.h"

#include <aclapi.h>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <thread>

namespace velmora::platform {
namespace {

namespace fs = std::filesystem;

#ifndef SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
#define SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE 0x2
#endif
using velmora::test::readBytes;
using velmora::test::TempWorkDir;
using velmora::test::writeBytes;

DWORD attributesOf(const wchar_t* path) {
  return ::GetFileAttributesW(path);
}

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class WholeFileSave : public ::testing::Test {
protected:
  TempWorkDir dir;
};

TEST_F(WholeFileSave, AReadOnlyFileIsRefusedAsADirectWriteWouldBe) {
  writeBytes("LabelDesign.txt", "old");
  ASSERT_TRUE(::SetFileAttributesW(L"LabelDesign.txt", FILE_ATTRIBUTE_READONLY));
  try {
    writeWholeFile("LabelDesign.txt", "new");
    ADD_FAILURE() << "saved";
  } catch (const FileError& error) {
    EXPECT_EQ(error.systemText(), win32ErrorText(ERROR_ACCESS_DENIED));
    EXPECT_EQ(std::string(error.what()).rfind("Cannot create file \"", 0), 0u) << error.what();
  }
  EXPECT_EQ(readBytes("LabelDesign.txt"), "old");
  EXPECT_TRUE(attributesOf(L"LabelDesign.txt") & FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(namesIn("."), std::vector<std::string>{"LabelDesign.txt"});
  ::SetFileAttributesW(L"LabelDesign.txt", FILE_ATTRIBUTE_NORMAL);
}

TEST_F(WholeFileSave, KeepsTheTargetsAttributes) {
  writeBytes("design.txt", "old");
  ASSERT_TRUE(::SetFileAttributesW(L"design.txt", FILE_ATTRIBUTE_HIDDEN));
  if (!(attributesOf(L"design.txt") & FILE_ATTRIBUTE_HIDDEN))
    GTEST_SKIP() << "this file system keeps no hidden attribute";
  writeWholeFile("design.txt", "new");
  EXPECT_EQ(readBytes("design.txt"), "new");
  EXPECT_TRUE(attributesOf(L"design.txt") & FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(WholeFileSave, ALinkCountsAsItsTarget) {
  fs::create_directory("real");
  writeBytes("real/config.xml", "old");
  // Wine's CreateSymbolicLinkW reports success and makes nothing.
  const BOOL made = ::CreateSymbolicLinkW(L"VelmoraLabelConfig.XML", L"real\\config.xml",
                                          SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
  const DWORD link = attributesOf(L"VelmoraLabelConfig.XML");
  if (!made || link == INVALID_FILE_ATTRIBUTES || !(link & FILE_ATTRIBUTE_REPARSE_POINT))
    GTEST_SKIP() << "symbolic links cannot be made here (error " << ::GetLastError() << ")";
  writeWholeFile("VelmoraLabelConfig.XML", "new");
  EXPECT_TRUE(attributesOf(L"VelmoraLabelConfig.XML") & FILE_ATTRIBUTE_REPARSE_POINT);
  EXPECT_EQ(readBytes("real/config.xml"), "new");
  EXPECT_EQ(namesIn("real"), std::vector<std::string>{"config.xml"});
}

// The folder denies creating files (MoveFileExW needs that); the file itself
// may be written, and so the save writes it in place.
TEST_F(WholeFileSave, AWritableFileInAFolderThatIsNotIsWrittenInPlace) {
  fs::create_directory("locked");
  writeBytes("locked/VelmoraLabelConfig.XML", "a longer old content");
  EXPLICIT_ACCESS_W deny{};
  wchar_t everyone[] = L"EVERYONE";
  ::BuildExplicitAccessWithNameW(&deny, everyone, FILE_ADD_FILE | FILE_DELETE_CHILD, DENY_ACCESS,
                                 NO_INHERITANCE);
  PACL acl = nullptr;
  ASSERT_EQ(::SetEntriesInAclW(1, &deny, nullptr, &acl), static_cast<DWORD>(ERROR_SUCCESS));
  wchar_t folder[] = L"locked";
  const DWORD set = ::SetNamedSecurityInfoW(folder, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                            nullptr, nullptr, acl, nullptr);
  ::LocalFree(acl);
  HANDLE probe = ::CreateFileW(L"locked\\probe.tmp", GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe != INVALID_HANDLE_VALUE) {
    ::CloseHandle(probe);
    ::DeleteFileW(L"locked\\probe.tmp");
    GTEST_SKIP() << "this system does not enforce the folder's access list (SetNamedSecurityInfo "
                 << set << "), as Wine does not";
  }
  writeWholeFile("locked\\VelmoraLabelConfig.XML", "short");
  EXPECT_EQ(readBytes("locked/VelmoraLabelConfig.XML"), "short");
  EXPECT_EQ(namesIn("locked"), std::vector<std::string>{"VelmoraLabelConfig.XML"});
  ::SetNamedSecurityInfoW(folder, SE_FILE_OBJECT,
                          DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
                          nullptr, nullptr, nullptr, nullptr);
}

// removeFile clears the read-only attribute to delete a file; a file that
// stays keeps it.
TEST(RemoveFile, AReadOnlyFileHeldOpenForWritingStaysAndStaysReadOnly) {
  TempWorkDir dir;
  writeBytes("job.spl", "partial");
  const auto writer = velmora::test::ChildProcess::helper({"hold-open-for-writing", "job.spl"});
  ASSERT_EQ(writer->readLine(std::chrono::seconds(20)).value_or("(nothing)"), "ready");
  ASSERT_TRUE(::SetFileAttributesW(L"job.spl", FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(removeFile("job.spl"));
  EXPECT_EQ(attributesOf(L"job.spl") & FILE_ATTRIBUTE_READONLY,
            static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(writer->closeInputAndWait(std::chrono::seconds(20)), 0);
  EXPECT_TRUE(removeFile("job.spl"));
  EXPECT_FALSE(fs::exists("job.spl"));
}

// Names that Windows cannot open as plain files, standing as files in a
// folder: the listing gives them as they are; every function that acts on a
// path refuses them at once, and nothing is opened, written, moved or removed.
//
// "\\?\" hands a name to the file system as it is: the one way for a Windows
// program to make "aux.spl" a file (a plain path opens the device). The full
// path is put together here: fs::absolute asks the system, which answers
// "\\.\aux".
std::wstring verbatim(const fs::path& path) {
  return L"\\\\?\\" + (fs::current_path() / path).wstring();
}

void makeVerbatim(const fs::path& path, std::string_view bytes) {
  Win32Handle file(::CreateFileW(verbatim(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file) << path.string() << ": error " << ::GetLastError();
  DWORD written = 0;
  ASSERT_TRUE(
      ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

std::string readVerbatim(const fs::path& path) {
  Win32Handle file(::CreateFileW(verbatim(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    return "(cannot be read: error " + std::to_string(::GetLastError()) + ")";
  char buffer[256];
  DWORD got = 0;
  ::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr);
  return std::string(buffer, got);
}

// What the functions of this layer did with `path`, a name they must refuse,
// that is not a refusal, one line each. "plain.spl" is a plain file of the
// working directory, to move onto `path`.
std::vector<std::string> notRefused(const std::string& path) {
  std::vector<std::string> wrong;
  const auto refusedAsNotRegular = [&](const char* what, const std::function<void()>& call) {
    try {
      call();
      wrong.push_back(std::string(what) + " did it");
    } catch (const FileError& error) {
      if (error.problem() != FileProblem::NotARegularFile)
        wrong.push_back(std::string(what) + " failed otherwise: " + error.what());
    }
  };
  const auto expectFalse = [&](const char* what, bool answer) {
    if (answer)
      wrong.push_back(std::string(what) + " said yes");
  };
  refusedAsNotRegular("readWholeFile", [&] { (void)readWholeFile(path); });
  refusedAsNotRegular("writeWholeFile", [&] { writeWholeFile(path, "overwritten"); });
  refusedAsNotRegular("RandomAccessFile::open",
                      [&] { (void)RandomAccessFile::open(path, RandomAccessFile::Access::Read); });
  refusedAsNotRegular("RandomAccessFile::createNew",
                      [&] { (void)RandomAccessFile::createNew(path); });
  refusedAsNotRegular("RandomAccessFile::create", [&] { (void)RandomAccessFile::create(path); });
  expectFalse("fileExists", fileExists(path));
  expectFalse("directoryExists", directoryExists(path));
  expectFalse("entryExists", entryExists(path));
  expectFalse("entryInfo", entryInfo(path).exists);
  expectFalse("fileStamp", fileStamp(path).exists);
  expectFalse("createDirectory", createDirectory(path));
  expectFalse("removeFile", removeFile(path));
  expectFalse("moveFileNoReplace from it",
              moveFileNoReplace(path, "moved.spl").result != MoveResult::Failed);
  expectFalse("moveFileNoReplace onto it",
              moveFileNoReplace("plain.spl", path).result != MoveResult::Failed);
  expectFalse("fileVersionString", fileVersionString(path, "040904E4", "FileVersion").has_value());
  // Messages name the file as it is (the system would name "\\.\AUX").
  const std::string full = fullPath(path);
  const std::string name = path.substr(path.find_last_of('\\') + 1);
  if (full.size() <= name.size() || full.substr(full.size() - name.size() - 1) != "\\" + name)
    wrong.push_back("fullPath gave " + full);
  return wrong;
}

// notRefused(path) on a thread of its own, as long as it ends within a
// generous bound: a call stuck in a device is left there, and reported.
std::vector<std::string> notRefusedInTime(const std::string& path) {
  auto done = std::make_shared<std::promise<std::vector<std::string>>>();
  auto answer = done->get_future();
  std::thread([path, done] { done->set_value(notRefused(path)); }).detach();
  if (answer.wait_for(std::chrono::seconds(20)) != std::future_status::ready)
    return {"no answer within 20 s: a device was opened"};
  return answer.get();
}

std::map<std::string, std::pair<EntryKind, std::int64_t>> listing(const std::string& folder) {
  std::map<std::string, std::pair<EntryKind, std::int64_t>> entries;
  for (const auto& entry : listDirectory(folder, ""))
    entries[entry.name] = {entry.kind, entry.lastWriteTime};
  return entries;
}

// Each name of `names` stands in `folder` as a file: listed as it is, and
// refused by everything else, which leaves the folder as it was.
void expectListedButRefused(const std::string& folder, const std::vector<std::string>& names) {
  writeBytes("plain.spl", "plain");
  const auto before = listing(folder);
  for (const auto& name : names) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(before.contains(name));
    EXPECT_EQ(before.at(name).first, EntryKind::RegularFile);
    EXPECT_EQ(notRefusedInTime(folder + "\\" + name), std::vector<std::string>{});
  }
  EXPECT_EQ(listing(folder), before);
  EXPECT_EQ(readBytes("plain.spl"), "plain");
  EXPECT_FALSE(fs::exists("moved.spl"));
}

const std::vector<std::string> kDeviceNames = {
    "aux.spl",     "NUL.spl",    "COM1.spl",    "CON.spl",       "LPT1.spl", "Aux .spl",
    "nul.tar.spl", "CONIN$.spl", "conout$.spl", "COM\u00b9.spl", "prn"};

TEST(OddNames, NamesWindowsCanMakeAreListedButNeverOpened) {
  TempWorkDir dir;
  fs::create_directory("odd");
  std::vector<std::string> names = kDeviceNames;
  names.insert(names.end(), {"job.spl.", "job.spl "});
  for (const auto& name : names)
    makeVerbatim(fs::path("odd") / fs::u8path(name), "job");
  expectListedButRefused("odd", names);
  for (const auto& name : names) {
    EXPECT_EQ(readVerbatim(fs::path("odd") / fs::u8path(name)), "job") << name;
    ::DeleteFileW(verbatim(fs::path("odd") / fs::u8path(name)).c_str());
  }
}

// Names Windows cannot make at all, in a folder that CTest has the shell make
// on the Linux side (make_linux_names.sh) before this program runs under
// Wine, as a share served from Linux would hold them.
TEST(OddNames, NamesOfAFolderServedFromLinuxAreListedButNeverOpened) {
  const char* made = std::getenv("VELMORA_LINUX_NAMES");
  if (!made)
    GTEST_SKIP() << "no folder made on the Linux side (CTest makes one under Wine)";
  std::string folder = made;
  if (folder.starts_with("/")) { // a Linux path: the same folder on Wine's drive Z:
    std::replace(folder.begin(), folder.end(), '/', '\\');
    folder = "Z:" + folder;
  }
  TempWorkDir dir;
  std::vector<std::string> names = kDeviceNames;
  names.insert(names.end(), {"job.spl.", "job.spl ", "what?.spl", "star*.spl", "less<.spl",
                             "more>.spl", "pipe|.spl", "quote\".spl", "colon:.spl", "bell\a.spl"});
  expectListedButRefused(folder, names);
}

} // namespace
} // namespace velmora::platform
