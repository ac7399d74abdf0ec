// Whole-file saves on real files on Windows (and under Wine): the read-only
// attribute, the attributes a file keeps, links, and a folder in which the
// user may not create files.
#include "platform/file_system.h"

#include "platform/win32_support.h"
#include "temp_dir.h"

#include <aclapi.h>
#include <algorithm>
#include <gtest/gtest.h>

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

} // namespace
} // namespace velmora::platform
