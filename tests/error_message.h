// What a failing action says: the tests of every layer compare the text a
// user would see.
#pragma once

#include <functional>
#include <string>

namespace velmora::test {

// The what() of the `Error` that `action` throws; "(no error)" when it
// throws none. Any other exception passes through and fails the test.
template <class Error> std::string messageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& error) {
    return error.what();
  }
  return "(no error)";
}

} // namespace velmora::test
