#include "temp_dir.h"

#include <atomic>
#include <random>
#include <sstream>
#include <stdexcept>

namespace velmora::test {

TempWorkDir::TempWorkDir() : previous_(std::filesystem::current_path()) {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate = std::filesystem::temp_directory_path() /
                     ("velmora-test-" + std::to_string(random()) + "-" + std::to_string(attempt));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate;
      std::filesystem::current_path(path_);
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary folder");
}

TempWorkDir::~TempWorkDir() {
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
  std::filesystem::remove_all(path_, ignored);
}

std::string readBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in)
    throw std::runtime_error("cannot read " + file.string());
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void writeBytes(const std::filesystem::path& file, std::string_view bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out)
    throw std::runtime_error("cannot write " + file.string());
}

} // namespace velmora::test
