#include "fatal.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <exception>
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

// ---- Faults that are not the program's own: an access violation, an uncaught exception,
// std::terminate. The record is built in fixed storage and written with plain system calls,
// because the fault may be that memory has run out.

constexpr std::size_t kCrashTextBytes = 16'384;

// Text that grows in a fixed buffer and silently stops when it is full.
struct CrashText {
  char bytes[kCrashTextBytes];
  std::size_t length = 0;

  void append(std::string_view text) {
    for (char c : text) {
      if (length == kCrashTextBytes) return;
      bytes[length++] = c;
    }
  }
  void append_number(std::uint64_t value, unsigned base, int digits = 1) {
    char reversed[24];
    int count = 0;
    do {
      reversed[count++] = "0123456789abcdef"[value % base];
      value /= base;
    } while (value != 0 || count < digits);
    while (count > 0) append(std::string_view(&reversed[--count], 1));
  }
};

CrashText g_crash_text;
wchar_t g_crash_log_path[MAX_PATH * 4] = {};
LONG g_crashing_thread = 0;

// "2026-12-08T09:30:00+00:00", by the civil-from-days rule of the Gregorian calendar.
void append_timestamp(CrashText& text, std::int64_t unix_seconds) {
  const std::int64_t days = unix_seconds / 86'400;
  const std::int64_t second_of_day = unix_seconds % 86'400;
  const std::int64_t shifted = days + 719'468;
  const std::int64_t era = shifted / 146'097;
  const std::int64_t day_of_era = shifted - era * 146'097;
  const std::int64_t year_of_era = (day_of_era - day_of_era / 1'460 + day_of_era / 36'524 - day_of_era / 146'096) / 365;
  const std::int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const std::int64_t month_index = (5 * day_of_year + 2) / 153;
  const std::int64_t day = day_of_year - (153 * month_index + 2) / 5 + 1;
  const std::int64_t month = month_index < 10 ? month_index + 3 : month_index - 9;
  const std::int64_t year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
  text.append_number(static_cast<std::uint64_t>(year), 10, 4);
  text.append("-");
  text.append_number(static_cast<std::uint64_t>(month), 10, 2);
  text.append("-");
  text.append_number(static_cast<std::uint64_t>(day), 10, 2);
  text.append("T");
  text.append_number(static_cast<std::uint64_t>(second_of_day / 3'600), 10, 2);
  text.append(":");
  text.append_number(static_cast<std::uint64_t>(second_of_day / 60 % 60), 10, 2);
  text.append(":");
  text.append_number(static_cast<std::uint64_t>(second_of_day % 60), 10, 2);
  text.append("+00:00");
}

// "wrenfold.exe+0x1a2b", or the bare address outside every module. False for the latter.
bool append_code_address(CrashText& text, std::uintptr_t address) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(address), &module) ||
      address < reinterpret_cast<std::uintptr_t>(module)) {
    text.append("0x");
    text.append_number(address, 16);
    return false;
  }
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(module, path, MAX_PATH);
  const wchar_t* name = path;
  for (const wchar_t* p = path; *p != L'\0'; ++p) {
    if (*p == L'\\' || *p == L'/') name = p + 1;
  }
  char narrow[MAX_PATH * 3] = {};
  WideCharToMultiByte(CP_UTF8, 0, name, -1, narrow, sizeof narrow, nullptr, nullptr);
  text.append(narrow);
  text.append("+0x");
  text.append_number(address - reinterpret_cast<std::uintptr_t>(module), 16);
  return true;
}

void append_frame(CrashText& text, unsigned index, std::uintptr_t address) {
  text.append("  ");
  text.append_number(index, 10);
  text.append(": ");
  append_code_address(text, address);
  text.append("\n");
}

// The faulting thread's stack, unwound from the context the fault left.
void append_stack_of(CrashText& text, CONTEXT context) {
  for (unsigned index = 0; index < 62 && context.Rip != 0; ++index) {
    append_frame(text, index, context.Rip);
    DWORD64 image_base = 0;
    PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(context.Rip, &image_base, nullptr);
    if (function == nullptr) {
      // A leaf function: its return address is at the top of the stack.
      context.Rip = *reinterpret_cast<const DWORD64*>(context.Rsp);
      context.Rsp += 8;
    } else {
      void* handler_data = nullptr;
      DWORD64 frame = 0;
      RtlVirtualUnwind(UNW_FLAG_NHANDLER, image_base, context.Rip, function, &context, &handler_data, &frame,
                       nullptr);
    }
  }
}

// The stack of the calling thread, without the handler's own frames.
void append_own_stack(CrashText& text) {
  void* frames[62] = {};
  const USHORT count = CaptureStackBackTrace(2, 62, frames, nullptr);
  for (USHORT i = 0; i < count; ++i) append_frame(text, i, reinterpret_cast<std::uintptr_t>(frames[i]));
}

void create_log_folders() {
  wchar_t* const path = g_crash_log_path;
  for (wchar_t* p = path; *p != L'\0'; ++p) {
    if ((*p == L'\\' || *p == L'/') && p != path && p[-1] != L':') {
      const wchar_t separator = *p;
      *p = L'\0';
      CreateDirectoryW(path, nullptr);
      *p = separator;
    }
  }
}

// Appends the record and ends the process; only one thread gets to write, the others wait
// for the end.
[[noreturn]] void write_crash_and_exit() {
  create_log_folders();
  const HANDLE file = CreateFileW(g_crash_log_path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(file, g_crash_text.bytes, static_cast<DWORD>(g_crash_text.length), &written, nullptr);
    CloseHandle(file);
  }
  TerminateProcess(GetCurrentProcess(), kFatalExitCode);
  ExitProcess(kFatalExitCode);
}

// Lets the first crashing thread write the record. The others wait for the end; a fault in
// the handler itself (a stack too damaged to walk) writes what it has.
void take_the_crash() {
  const LONG self = static_cast<LONG>(GetCurrentThreadId());
  const LONG first = InterlockedCompareExchange(&g_crashing_thread, self, 0);
  if (first == 0) return;
  if (first == self) {
    g_crash_text.append("\n");
    write_crash_and_exit();
  }
  Sleep(INFINITE);
  ExitProcess(kFatalExitCode);
}

std::string_view exception_name(DWORD code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION: return "access violation";
    case EXCEPTION_STACK_OVERFLOW: return "stack overflow";
    case EXCEPTION_INT_DIVIDE_BY_ZERO: return "integer division by zero";
    case EXCEPTION_ILLEGAL_INSTRUCTION: return "illegal instruction";
    case EXCEPTION_IN_PAGE_ERROR: return "in-page error";
    case EXCEPTION_PRIV_INSTRUCTION: return "privileged instruction";
    case EXCEPTION_DATATYPE_MISALIGNMENT: return "misaligned data";
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED: return "array bounds exceeded";
    case EXCEPTION_NONCONTINUABLE_EXCEPTION: return "noncontinuable exception";
    case EXCEPTION_BREAKPOINT: return "breakpoint";
    default: return "exception";
  }
}

LONG WINAPI record_unhandled_exception(EXCEPTION_POINTERS* exception) {
  take_the_crash();
  const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
  CrashText& text = g_crash_text;
  append_timestamp(text, unix_seconds_precise());
  text.append(" crashed: ");
  text.append(exception_name(record.ExceptionCode));
  text.append(" (exception 0x");
  text.append_number(record.ExceptionCode, 16, 8);
  text.append(") at ");
  append_code_address(text, reinterpret_cast<std::uintptr_t>(record.ExceptionAddress));
  if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2) {
    text.append(record.ExceptionInformation[0] == 1 ? ", writing 0x" : record.ExceptionInformation[0] == 8 ? ", executing 0x" : ", reading 0x");
    text.append_number(record.ExceptionInformation[1], 16);
  }
  text.append("\n");
  append_stack_of(text, *exception->ContextRecord);
  text.append("\n");
  write_crash_and_exit();
}

[[noreturn]] void record_termination() {
  take_the_crash();
  CrashText& text = g_crash_text;
  append_timestamp(text, unix_seconds_precise());
  text.append(" terminated");
  // What was thrown, when an exception is why; rethrowing it allocates nothing.
  if (const std::exception_ptr thrown = std::current_exception()) {
    try {
      std::rethrow_exception(thrown);
    } catch (const std::exception& uncaught) {
      text.append(": uncaught exception:\n");
      text.append(uncaught.what());
    } catch (...) {
      text.append(": uncaught exception of a type that is not std::exception");
    }
  }
  text.append("\n");
  append_own_stack(text);
  text.append("\n");
  write_crash_and_exit();
}

}  // namespace

void install_crash_log(std::u16string settings_path) {
  g_settings_path = std::move(settings_path);
  g_interface_thread = GetCurrentThreadId();
  // Worked out now: the fault handlers must not allocate.
  const std::u16string log = crash_log_path(g_settings_path);
  const std::size_t length = std::min(log.size(), std::size(g_crash_log_path) - 1);
  std::copy_n(log.begin(), length, g_crash_log_path);
  g_crash_log_path[length] = L'\0';
  SetUnhandledExceptionFilter(record_unhandled_exception);
  std::set_terminate(record_termination);
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
