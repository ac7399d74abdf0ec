// The PE version resource reader on Windows executables made by the MinGW
// resource compiler, and on damaged copies of them.
#include "platform/file_version.h"
#include "platform/pe_version_resource.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace velmora::platform {
namespace {

using test::readBytes;

const std::filesystem::path kFixtures = VELMORA_PE_FIXTURES_DIR;

std::string fixture(const char* name) {
  const std::filesystem::path path = kFixtures / name;
  if (!std::filesystem::exists(path))
    ADD_FAILURE() << "missing fixture " << path << " (needs x86_64-w64-mingw32-windres and -gcc)";
  return std::filesystem::exists(path) ? readBytes(path) : std::string();
}

TEST(PeVersionResource, FindsTheStringOfTheEnglishAnsiBlock) {
  const auto info = extractVersionResource(fixture("english_2107.exe"));
  ASSERT_TRUE(info);
  EXPECT_EQ(findVersionString(*info, "040904E4", "FileVersion"), "2.1.0.7");
  EXPECT_EQ(findVersionString(*info, "040904e4", "fileversion"), "2.1.0.7"); // keys ignore case
  EXPECT_EQ(findVersionString(*info, "040904E4", "ProductName"), "Cartavell");
  EXPECT_EQ(findVersionString(*info, "040904E4", "ProductVersion"), std::nullopt);
  EXPECT_EQ(findVersionString(*info, "040904B0", "FileVersion"), std::nullopt);
}

TEST(PeVersionResource, AnotherLanguageBlockIsNotTried) {
  const auto info = extractVersionResource(fixture("german_only.exe"));
  ASSERT_TRUE(info);
  EXPECT_EQ(findVersionString(*info, "040904E4", "FileVersion"), std::nullopt);
  EXPECT_EQ(findVersionString(*info, "040704B0", "FileVersion"), "9.9.0.1");
}

TEST(PeVersionResource, NoResourceOrNoPeFileGivesNothing) {
  EXPECT_EQ(extractVersionResource(fixture("no_resource.exe")), std::nullopt);
  EXPECT_EQ(extractVersionResource(""), std::nullopt);
  EXPECT_EQ(extractVersionResource("MZ not a program at all, just text that starts with MZ......."),
            std::nullopt);
  EXPECT_EQ(findVersionString("", "040904E4", "FileVersion"), std::nullopt);
}

TEST(PeVersionResource, ACutFileGivesTheWholeValueOrNothing) {
  const std::string good = fixture("english_2107.exe");
  ASSERT_FALSE(good.empty());
  // Each cut is its own string of exactly that size, so a sanitizer build
  // sees any read past it.
  std::size_t firstFound = good.size();
  for (std::size_t size = 0; size < good.size(); size += 3) {
    const std::string cut = good.substr(0, size);
    const auto info = extractVersionResource(cut);
    const auto value = info ? findVersionString(*info, "040904E4", "FileVersion") : std::nullopt;
    if (value) {
      EXPECT_EQ(*value, "2.1.0.7") << "cut at " << size;
      firstFound = std::min(firstFound, size);
    } else {
      EXPECT_LT(size, firstFound) << "found at a shorter cut but not at " << size;
    }
  }
  EXPECT_LT(firstFound, good.size()); // the resource lies before the end of the file
}

TEST(FileVersionString, TellsNoInformationFromNoSuchValue) {
  test::TempWorkDir dir;
  std::filesystem::copy_file(kFixtures / "english_2107.exe", dir.path() / "Cartavell.EXE");
  std::filesystem::copy_file(kFixtures / "german_only.exe", dir.path() / "German.exe");
  std::filesystem::copy_file(kFixtures / "no_resource.exe", dir.path() / "Plain.exe");
  const std::string folder = dir.path().string() + "/";
  EXPECT_EQ(fileVersionString(folder + "Cartavell.EXE", "040904E4", "FileVersion"), "2.1.0.7");
  EXPECT_EQ(fileVersionString(folder + "German.exe", "040904E4", "FileVersion"), "");
  EXPECT_EQ(fileVersionString(folder + "Plain.exe", "040904E4", "FileVersion"), std::nullopt);
  EXPECT_EQ(fileVersionString(folder + "Missing.EXE", "040904E4", "FileVersion"), std::nullopt);
}

} // namespace
} // namespace velmora::platform
