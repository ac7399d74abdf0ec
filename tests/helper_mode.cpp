#include "helper_mode.h"

#include "platform/byte_range_lock.h"
#include "platform/file_system.h"
#include "platform/random_access_file.h"
#include "platform/single_instance.h"
#include "platform/windows_service.h"

#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::test {
namespace {

using platform::RandomAccessFile;

void waitForInput() {
  std::string line;
  std::getline(std::cin, line);
}

int run(const std::vector<std::string>& args) {
  const std::string& mode = args.at(0);
  if (mode == "hold-open-for-writing" && args.size() == 2) {
    auto file = RandomAccessFile::open(args[1], RandomAccessFile::Access::ReadWrite);
    std::cout << "ready" << std::endl;
    waitForInput();
    return 0;
  }
  if (mode == "write-in-two-parts" && args.size() == 3) {
    const std::string& text = args[2];
    const std::size_t half = text.size() / 2;
    auto file = RandomAccessFile::create(args[1], RandomAccessFile::Sharing::Read);
    file.writeAt(0, text.data(), half);
    std::cout << "ready" << std::endl;
    waitForInput();
    file.writeAt(half, text.data() + half, text.size() - half);
    return 0;
  }
  if ((mode == "hold-lock" || mode == "probe-lock") && args.size() == 4) {
    const std::uint64_t offset = std::stoull(args[2]);
    const std::uint64_t length = std::stoull(args[3]);
    if (mode == "probe-lock") {
      const auto file = RandomAccessFile::open(args[1], RandomAccessFile::Access::Read);
      std::cout << (platform::rangeLockedByOther(file, offset, length) ? "locked" : "free")
                << std::endl;
      return 0;
    }
    auto file = RandomAccessFile::open(args[1], RandomAccessFile::Access::ReadWrite);
    std::cout << (platform::tryLockRange(file, offset, length) ? "locked" : "busy") << std::endl;
    waitForInput();
    return 0;
  }
  if (mode == "write-whole-file" && args.size() == 3) {
    platform::writeWholeFile(args[1], args[2]);
    std::cout << "written" << std::endl;
    return 0;
  }
  if (mode == "hold-single-instance" && args.size() == 2) {
    const auto guard = platform::SingleInstance::acquire(args[1]);
    std::cout << (guard ? "held" : "refused") << std::endl;
    waitForInput();
    std::_Exit(0); // ends without giving anything up itself
  }
  if (mode == "serve-as-service" && args.size() == 3) {
    const std::string& marker = args[2];
    std::mutex mutex;
    std::condition_variable stopped;
    bool stopAsked = false; // guarded by mutex
    return platform::runAsService(
        args[1],
        [&] {
          platform::writeWholeFile(marker, "running\n");
          std::unique_lock lock(mutex);
          stopped.wait(lock, [&] { return stopAsked; });
          platform::writeWholeFile(marker, "running\nstopped\n");
          return 0;
        },
        [&] {
          std::lock_guard lock(mutex);
          stopAsked = true;
          stopped.notify_all();
        });
  }
  std::cout << "error: unknown helper mode" << std::endl;
  return 2;
}

} // namespace

std::optional<int> runHelperMode(int argc, char** argv) {
  if (argc < 3 || std::string_view(argv[1]) != "--velmora-helper")
    return std::nullopt;
  try {
    return run(std::vector<std::string>(argv + 2, argv + argc));
  } catch (const std::exception& e) {
    std::cout << "error: " << e.what() << std::endl;
    return 2;
  }
}

} // namespace velmora::test
