// The saving side of the configuration file concurrency test, run as its own
// process: saves the two stress tables alternately to the file given until the
// given number of milliseconds has passed, then prints how many saves it made.
//   config_save_helper <file> <milliseconds>
// Exit status 0 when every save succeeded, 1 (with the message) otherwise.
#include "config_table_fixture.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: config_save_helper <file> <milliseconds>\n");
    return 2;
  }
  velmora::TVirtualTable tables[2] = {velmora::TVirtualTable("tblConfig"),
                                      velmora::TVirtualTable("tblConfig")};
  velmora::testing::fillStressTable(tables[0], 0);
  velmora::testing::fillStressTable(tables[1], 1);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::stol(argv[2]));
  long saves = 0;
  try {
    while (std::chrono::steady_clock::now() < end)
      tables[saves++ % 2].SaveToXML(argv[1]);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "save %ld failed: %s\n", saves, error.what());
    return 1;
  }
  std::printf("%ld\n", saves);
  return 0;
}
