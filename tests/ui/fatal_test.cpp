// Fatal errors under Wine: the record in the crash log, and which thread ends.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <thread>

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

// Run only as the child process of OnTheInterfaceThreadTheProcessEnds.
TEST(FatalErrorChild, DISABLED_EndsTheProcess) {
  wchar_t settings[MAX_PATH] = {};
  if (GetEnvironmentVariableW(kChildSettingsVariable, settings, MAX_PATH) == 0) GTEST_SKIP();
  install_crash_log(reinterpret_cast<const char16_t*>(settings));
  fatal_error("the interface thread's invariant holds");
}

// Runs one of the child tests above in a process of its own, with its settings in `settings`;
// gives the child's exit code.
DWORD run_child(const wchar_t* test, const fs::path& settings) {
  wchar_t program[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  std::wstring command_line = L"\"" + std::wstring(program) + L"\" --gtest_filter=" + test +
                              L" --gtest_also_run_disabled_tests --gtest_catch_exceptions=0";
  SetEnvironmentVariableW(kChildSettingsVariable, settings.wstring().c_str());
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  const BOOL started = CreateProcessW(program, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                      &startup, &process);
  SetEnvironmentVariableW(kChildSettingsVariable, nullptr);
  if (!started) return ~DWORD{0};
  DWORD code = ~DWORD{0};
  if (WaitForSingleObject(process.hProcess, 60'000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

TEST(FatalError, OnTheInterfaceThreadTheProcessEnds) {
  const fs::path folder = fresh_folder("wrenfold-fatal-process-");
  EXPECT_EQ(run_child(L"FatalErrorChild.DISABLED_EndsTheProcess", folder / "settings.json"), kFatalExitCode);
  const std::string log = read_text(folder / "error.log");
  EXPECT_NE(log.find(":\nthe interface thread's invariant holds\n"), std::string::npos)
      << "the missing folder was made and the record written: " << log;
  fs::remove_all(folder);
}

// Run only as child processes of the next test.
bool install_child_crash_log() {
  wchar_t settings[MAX_PATH] = {};
  if (GetEnvironmentVariableW(kChildSettingsVariable, settings, MAX_PATH) == 0) return false;
  install_crash_log(reinterpret_cast<const char16_t*>(settings));
  return true;
}

TEST(FaultChild, DISABLED_AccessViolation) {
  if (!install_child_crash_log()) GTEST_SKIP();
  *static_cast<volatile int*>(nullptr) = 1;
}

TEST(FaultChild, DISABLED_UncaughtException) {
  if (!install_child_crash_log()) GTEST_SKIP();
  std::thread([] { throw std::runtime_error("nobody caught this"); }).join();
}

TEST(FaultChild, DISABLED_Terminate) {
  if (!install_child_crash_log()) GTEST_SKIP();
  std::terminate();
}

TEST(FatalError, FaultsThatAreNotTheProgramsOwnLeaveARecordToo) {
  const struct {
    const wchar_t* child;
    const char* expected;
  } cases[] = {
      {L"FaultChild.DISABLED_AccessViolation", " crashed: access violation (exception 0xc0000005) at ui_tests.exe+0x"},
      {L"FaultChild.DISABLED_UncaughtException", " terminated: uncaught exception:\nnobody caught this\n"},
      {L"FaultChild.DISABLED_Terminate", " terminated\n"},
  };
  for (const auto& c : cases) {
    const fs::path folder = fresh_folder("wrenfold-fault-");
    EXPECT_EQ(run_child(c.child, folder / "settings.json"), kFatalExitCode) << c.expected;
    const std::string log = read_text(folder / "error.log");
    EXPECT_NE(log.find(c.expected), std::string::npos) << log;
    EXPECT_EQ(log.find("panicked"), std::string::npos) << log;
    EXPECT_NE(log.find("\n  0: "), std::string::npos) << "a stack: " << log;
    EXPECT_NE(log.find("ui_tests.exe+0x", log.find('\n')), std::string::npos) << "the test's own frames: " << log;
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.substr(log.size() - 2), "\n\n");
    EXPECT_EQ(log.substr(4, 1), "-") << "a time stamp first: " << log;
    fs::remove_all(folder);
  }
}

}  // namespace
}  // namespace wrenfold::ui
