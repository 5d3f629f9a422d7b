// The outermost frame of every program: no exception leaves main. A file system error prints
// the path and the reason, anything else its text; the program then exits with 2.
#pragma once

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

namespace zel::platform {

inline int GuardedMain(const char* program, int (*body)(int, char**), int argc, char** argv) {
  try {
    return body(argc, argv);
  } catch (const std::filesystem::filesystem_error& e) {
    const std::string path = !e.path1().empty() ? e.path1().string() : e.path2().string();
    std::fprintf(stderr, "%s: \"%s\": %s.\n", program, path.c_str(), e.code().message().c_str());
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "%s: out of memory.\n", program);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", program, e.what());
  }
  return 2;
}

}  // namespace zel::platform
