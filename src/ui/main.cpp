// The program's entry point; everything else lives in the window library.

#include <windows.h>

#include "startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  return wrenfold::ui::run_application(instance);
}
