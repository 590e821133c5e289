#pragma once
// The system's own words for a failure, as the program shows them.

#include <windows.h>

#include <string>

namespace wrenfold::ui {

// The system's description followed by "(os error N)" for a Win32 error, or "(error 0x...)".
std::u16string system_error_text(HRESULT result);

}  // namespace wrenfold::ui
