// EApolloError: the failure of a table operation (TApolloTable and its
// record side). what() is the message shown to the user; the table also
// keeps it in ErrorMsg. In messages "\r" is one carriage-return character.
#pragma once

#include <stdexcept>
#include <string>

namespace velmora::xbase {

class EApolloError final : public std::runtime_error {
public:
  explicit EApolloError(const std::string& message) : std::runtime_error(message) {}
};

} // namespace velmora::xbase
