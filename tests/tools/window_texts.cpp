// Prints the texts of a top-level window's child controls, one per line in UTF-8, so that
// scripts driving the program from outside can read what it shows.
//   window_texts CLASS-NAME
// Exits with 1 when no window of that class exists.

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

BOOL CALLBACK print_text(HWND child, LPARAM) {
  wchar_t text[1024] = {};
  const int length = GetWindowTextW(child, text, static_cast<int>(std::size(text)));
  if (length <= 0) return TRUE;
  std::string utf8(static_cast<std::size_t>(length) * 3, '\0');
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), static_cast<int>(utf8.size()),
                                        nullptr, nullptr);
  utf8.resize(static_cast<std::size_t>(bytes > 0 ? bytes : 0));
  std::printf("%s\n", utf8.c_str());
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  const HWND window = FindWindowW(argv[1], nullptr);
  if (window == nullptr) return 1;
  EnumChildWindows(window, print_text, 0);
  return 0;
}
