#include "fatal.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "crash_log.h"
#include "settings.h"
#include "timestamp.h"

namespace wrenfold::ui {
namespace {

// Process-wide: any thread may fail. Written once at start-up, before other threads exist.
std::u16string g_settings_path;
DWORD g_interface_thread = 0;

std::string utf8_of(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string converted(static_cast<std::size_t>(size - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, converted.data(), size, nullptr, nullptr);
  return converted;
}

// One line per frame, "module+0xoffset": enough to find the function with the map file of the
// release, without shipping symbols.
std::string stack_trace() {
  void* frames[62] = {};
  const USHORT count = CaptureStackBackTrace(1, 62, frames, nullptr);
  std::string trace;
  for (USHORT i = 0; i < count; ++i) {
    const auto address = reinterpret_cast<std::uintptr_t>(frames[i]);
    HMODULE module = nullptr;
    // Past the thread's first frame the walk can return garbage; the trace ends there.
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(frames[i]), &module) ||
        address < reinterpret_cast<std::uintptr_t>(module)) {
      break;
    }
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p != L'\0'; ++p) {
      if (*p == L'\\' || *p == L'/') name = p + 1;
    }
    char hex[24] = {};
    std::snprintf(hex, sizeof hex, "%llx",
                  static_cast<unsigned long long>(address - reinterpret_cast<std::uintptr_t>(module)));
    if (!trace.empty()) trace += '\n';
    trace += "  " + std::to_string(i) + ": " + utf8_of(name) + "+0x" + hex;
  }
  return trace;
}

std::int64_t unix_seconds_precise() {
  FILETIME now = {};
  GetSystemTimePreciseAsFileTime(&now);
  const std::uint64_t ticks = (std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
  constexpr std::uint64_t kTicksTo1970 = 116'444'736'000'000'000;  // 100 ns steps
  return ticks < kTicksTo1970 ? 0 : static_cast<std::int64_t>((ticks - kTicksTo1970) / 10'000'000);
}

}  // namespace

void install_crash_log(std::u16string settings_path) {
  g_settings_path = std::move(settings_path);
  g_interface_thread = GetCurrentThreadId();
}

[[noreturn]] void fatal_error(std::string_view message, std::source_location where) {
  const std::string record = crash_record(unix_seconds_precise(), {where.file_name(), where.line(), where.column()},
                                          message, stack_trace());
  append_crash_record(g_settings_path.empty() ? settings_path() : g_settings_path, record);
  std::fputs(record.c_str(), stderr);
  // A worker thread (an update check, a download) ends alone and the window stays usable.
  if (g_interface_thread != 0 && GetCurrentThreadId() != g_interface_thread) ExitThread(kFatalExitCode);
  ExitProcess(kFatalExitCode);
}

}  // namespace wrenfold::ui
