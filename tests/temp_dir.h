// A fresh folder for one test, made the working directory while the fixture
// lives (the programs name every file relative to the working directory) and
// removed afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace velmora::test {

class TempWorkDir final {
public:
  TempWorkDir();
  ~TempWorkDir();
  TempWorkDir(const TempWorkDir&) = delete;
  TempWorkDir& operator=(const TempWorkDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

// Whole-file helpers for tests, bytes as they are.
std::string readBytes(const std::filesystem::path& file);
void writeBytes(const std::filesystem::path& file, std::string_view bytes);

} // namespace velmora::test
