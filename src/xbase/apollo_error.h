// EApolloError: the failure of a table operation (TApolloTable and its
// record side). what() is the message shown to the user; the table also
// keeps it in ErrorMsg. In messages "\r" is one carriage-return character.
// cause() is what the layer below said (a file's path and the system's
// reason, or the damage the DBF reader found), or empty; it is kept for the
// status log and error details, never mixed into what().
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace velmora::xbase {

class EApolloError final : public std::runtime_error {
public:
  explicit EApolloError(const std::string& message, std::string cause = {})
      : std::runtime_error(message), cause_(std::move(cause)) {}

  const std::string& cause() const { return cause_; }

private:
  std::string cause_;
};

} // namespace velmora::xbase
