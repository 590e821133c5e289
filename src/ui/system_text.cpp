#include "system_text.h"

#include <cwchar>

namespace wrenfold::ui {

std::u16string system_error_text(HRESULT result) {
  wchar_t* buffer = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, static_cast<DWORD>(result), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::u16string text = length != 0 ? std::u16string(reinterpret_cast<const char16_t*>(buffer), length) : u"";
  LocalFree(buffer);
  while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' ')) text.pop_back();
  wchar_t code[32] = {};
  if (HRESULT_FACILITY(result) == FACILITY_WIN32) {
    swprintf(code, 32, L"(os error %u)", static_cast<unsigned>(HRESULT_CODE(result)));
  } else {
    swprintf(code, 32, L"(error 0x%08X)", static_cast<unsigned>(result));
  }
  if (!text.empty()) text += u' ';
  return text + reinterpret_cast<const char16_t*>(code);
}

}  // namespace wrenfold::ui
