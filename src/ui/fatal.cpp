#include "fatal.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace wrenfold::ui {

[[noreturn]] void fatal_error(std::string_view message) {
  const std::string line = "Wrenfold: fatal error: " + std::string(message) + "\n";
  OutputDebugStringA(line.c_str());
  std::fputs(line.c_str(), stderr);
  std::abort();
}

}  // namespace wrenfold::ui
