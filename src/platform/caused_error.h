// A failure told in two parts. what() is the text the user sees, worded
// exactly as the programs word it ("Unable to open table: .\PREP1\LOCKSPL.DBF");
// cause() is what the system said beneath it (a path and the operating
// system's reason, or the damage a file reader found), or empty. The two are
// never mixed: the front ends show cause() apart from the user's text (the
// console on standard error, the windows in the status log or a box's
// details). The table layer's EApolloError and the platform's FileError are
// both of this kind.
#pragma once

#include <exception>
#include <stdexcept>
#include <string>
#include <utility>

namespace velmora::platform {

class CausedError : public std::runtime_error {
public:
  explicit CausedError(const std::string& message, std::string cause = {})
      : std::runtime_error(message), cause_(std::move(cause)) {}

  const std::string& cause() const { return cause_; }

private:
  std::string cause_;
};

// The cause of `error` when it is a CausedError, else empty.
inline std::string causeOf(const std::exception& error) {
  const auto* caused = dynamic_cast<const CausedError*>(&error);
  return caused ? caused->cause() : std::string();
}

} // namespace velmora::platform
