// EApolloError: the failure of a table operation (TApolloTable and its
// record side). what() is the message shown to the user; the table also
// keeps it in ErrorMsg. In messages "\r" is one carriage-return character.
// cause() is what the layer below said (a file's path and the system's
// reason, or the damage the DBF reader found), or empty; it is kept for the
// status log and error details, never mixed into what()
// (platform/caused_error.h).
#pragma once

#include "platform/caused_error.h"

#include <string>

namespace velmora::xbase {

class EApolloError final : public platform::CausedError {
public:
  using platform::CausedError::CausedError;
};

} // namespace velmora::xbase
