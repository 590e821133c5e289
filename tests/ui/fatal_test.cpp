// Fatal errors under Wine: the record in the crash log, and which thread ends.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fatal.h"

namespace wrenfold::ui {
namespace {

namespace fs = std::filesystem;

constexpr wchar_t kChildSettingsVariable[] = L"WRENFOLD_TEST_FATAL_SETTINGS";

std::string read_text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

fs::path fresh_folder(const char* name) {
  const fs::path folder = fs::temp_directory_path() / (name + std::to_string(GetCurrentProcessId()));
  fs::remove_all(folder);
  return folder;
}

constexpr unsigned kWorkerFailureLine = __LINE__ + 1;
DWORD WINAPI fail_on_worker(void*) { fatal_error("the worker's invariant holds"); }

TEST(FatalError, OnAWorkerOnlyThatThreadEndsAfterTheRecord) {
  const fs::path folder = fresh_folder("wrenfold-fatal-worker-");
  install_crash_log((folder / "settings.json").u16string());
  const HANDLE worker = CreateThread(nullptr, 0, fail_on_worker, nullptr, 0, nullptr);
  ASSERT_NE(worker, nullptr);
  ASSERT_EQ(WaitForSingleObject(worker, 10'000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeThread(worker, &code);
  CloseHandle(worker);
  EXPECT_EQ(code, kFatalExitCode);

  const std::string log = read_text(folder / "error.log");
  EXPECT_NE(log.find(" panicked at "), std::string::npos) << log;
  EXPECT_NE(log.find("fatal_test.cpp:" + std::to_string(kWorkerFailureLine) + ":"), std::string::npos)
      << "the failing line: " << log;
  EXPECT_NE(log.find(":\nthe worker's invariant holds\n"), std::string::npos) << log;
  EXPECT_NE(log.find("ui_tests.exe+0x"), std::string::npos) << "a stack trace: " << log;
  EXPECT_EQ(log.substr(log.size() - 2), "\n\n");
  fs::remove_all(folder);
}

// Run only as the child process of the next test.
TEST(FatalErrorChild, DISABLED_EndsTheProcess) {
  wchar_t settings[MAX_PATH] = {};
  if (GetEnvironmentVariableW(kChildSettingsVariable, settings, MAX_PATH) == 0) GTEST_SKIP();
  install_crash_log(reinterpret_cast<const char16_t*>(settings));
  fatal_error("the interface thread's invariant holds");
}

TEST(FatalError, OnTheInterfaceThreadTheProcessEnds) {
  const fs::path folder = fresh_folder("wrenfold-fatal-process-");
  const fs::path settings = folder / "settings.json";
  wchar_t program[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  std::wstring command_line = L"\"" + std::wstring(program) +
                              L"\" --gtest_filter=FatalErrorChild.DISABLED_EndsTheProcess --gtest_also_run_disabled_tests";
  SetEnvironmentVariableW(kChildSettingsVariable, settings.wstring().c_str());
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  const BOOL started = CreateProcessW(program, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                      &startup, &process);
  SetEnvironmentVariableW(kChildSettingsVariable, nullptr);
  ASSERT_TRUE(started);
  ASSERT_EQ(WaitForSingleObject(process.hProcess, 60'000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_EQ(code, kFatalExitCode);
  const std::string log = read_text(folder / "error.log");
  EXPECT_NE(log.find(":\nthe interface thread's invariant holds\n"), std::string::npos)
      << "the missing folder was made and the record written: " << log;
  fs::remove_all(folder);
}

}  // namespace
}  // namespace wrenfold::ui
