// The saving side of the configuration file concurrency test, run as its own
// process: saves the two stress tables alternately to the file given until the
// given number of milliseconds has passed, then writes how many saves went
// through to the count file. A save refused with the create error (a reader
// holds the file where sharing modes exist) is allowed and tried again.
//   config_save_helper <file> <milliseconds> <count file>
// Exit status 0 when every save succeeded or was refused, 1 (with the
// message) otherwise.
#include "config_table_fixture.h"
#include "platform/file_system.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: config_save_helper <file> <milliseconds> <count file>\n");
    return 2;
  }
  velmora::formats::TVirtualTable tables[2] = {velmora::formats::TVirtualTable("tblConfig"),
                                               velmora::formats::TVirtualTable("tblConfig")};
  velmora::test::fillStressTable(tables[0], 0);
  velmora::test::fillStressTable(tables[1], 1);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::stol(argv[2]));
  long saves = 0;
  while (std::chrono::steady_clock::now() < end) {
    try {
      tables[saves % 2].SaveToXML(argv[1]);
      ++saves;
    } catch (const velmora::platform::FileError& error) {
      if (std::string(error.what()).rfind("Cannot create file \"", 0) != 0) {
        std::fprintf(stderr, "save failed: %s\n", error.what());
        return 1;
      }
    } catch (const std::exception& error) {
      std::fprintf(stderr, "save failed: %s\n", error.what());
      return 1;
    }
  }
  std::FILE* count = std::fopen(argv[3], "w");
  if (!count || std::fprintf(count, "%ld\n", saves) < 0 || std::fclose(count) != 0) {
    std::fprintf(stderr, "cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
