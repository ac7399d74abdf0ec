// The ownership of the guard, the same on every platform; taking and
// releasing it are in single_instance_posix.cpp and single_instance_win.cpp.
#include "platform/single_instance.h"

namespace velmora::platform {

bool SingleInstance::validName(std::string_view name) {
  if (name.empty())
    return false;
  for (const char c : name) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '-';
    if (!ok)
      return false;
  }
  return true;
}

SingleInstance::SingleInstance(SingleInstance&& other) noexcept : handle_(other.handle_) {
  other.handle_ = kNone;
}

SingleInstance& SingleInstance::operator=(SingleInstance&& other) noexcept {
  if (this != &other) {
    release();
    handle_ = other.handle_;
    other.handle_ = kNone;
  }
  return *this;
}

SingleInstance::~SingleInstance() {
  release();
}

} // namespace velmora::platform
