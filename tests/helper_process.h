// A second process for tests that need one on every platform: the test
// program itself, started again in a helper mode ("--velmora-helper" and the
// given arguments), talking to the test through its standard input and
// output, one line at a time.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::test {

class HelperProcess final {
public:
  explicit HelperProcess(const std::vector<std::string>& arguments);
  // Waits for the child to end.
  ~HelperProcess();
  HelperProcess(const HelperProcess&) = delete;
  HelperProcess& operator=(const HelperProcess&) = delete;

  // The next line the child wrote (without its line break); what is left
  // when the child ended without one.
  std::string readLine();
  void writeLine(std::string_view line);
  // Closes the child's input and waits for it to end; its exit code.
  int wait();

private:
  struct State;
  std::unique_ptr<State> state_;
};

} // namespace velmora::test
