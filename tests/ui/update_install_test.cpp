// Installing an offered update under Wine: the download against the local test server, the
// digest check, the other-window rule and what happens when the installer can't start.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dialogs.h"
#include "installer_download.h"
#include "main_window.h"
#include "main_window_fixture.h"
#include "update_install.h"
#include "update_server.h"

namespace wrenfold::ui {
namespace {

namespace fs = std::filesystem;

// The bytes the test server sends for /sized/N.
std::vector<std::uint8_t> served_body(std::size_t length) {
  std::vector<std::uint8_t> body(length);
  for (std::size_t i = 0; i < length; ++i) body[i] = static_cast<std::uint8_t>(i * 7 % 251);
  return body;
}

std::u16string upper_case(std::u16string text) {
  for (char16_t& unit : text) {
    if (unit >= u'a' && unit <= u'z') unit = static_cast<char16_t>(unit - u'a' + u'A');
  }
  return text;
}

// A window that only collects what the download worker posts.
struct Posted {
  std::vector<unsigned> progress;
  std::unique_ptr<DownloadResult> result;
};
Posted g_posted;

LRESULT CALLBACK collect(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_APP + 3) g_posted.progress.push_back(static_cast<unsigned>(wparam));
  if (message == kMessageDownloadResult) g_posted.result.reset(reinterpret_cast<DownloadResult*>(lparam));
  return DefWindowProcW(window, message, wparam, lparam);
}

HWND collecting_window() {
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = collect;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"WrenfoldInstallTestSink";
  RegisterClassW(&window_class);
  return CreateWindowW(L"WrenfoldInstallTestSink", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                       GetModuleHandleW(nullptr), nullptr);
}

DownloadResult download(HWND sink, const std::u16string& url, const std::u16string& sha256, const fs::path& target) {
  g_posted = {};
  download_update({{url, sha256, 0}, sink}, target.u16string());
  MSG message;
  while (PeekMessageW(&message, sink, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  EXPECT_TRUE(g_posted.result) << "the worker posts its result";
  return g_posted.result ? *g_posted.result : DownloadResult{};
}

TEST(UpdateInstall, TheDownloadIsKeptOnlyWhenItsDigestIsTheSignedOne) {
  const std::u16string server = testing::update_server_address();
  ASSERT_FALSE(server.empty());
  const fs::path target = fs::temp_directory_path() / ("wrenfold-install-" + std::to_string(GetCurrentProcessId())) /
                          "deeper" / "Wrenfold-Setup.exe";
  fs::remove_all(target.parent_path().parent_path());
  const std::vector<std::uint8_t> body = served_body(300'000);
  const std::u16string digest = digest_hex(*platform::sha256(body));
  const HWND sink = collecting_window();

  DownloadResult result = download(sink, server + u"/sized/300000", upper_case(digest), target);
  EXPECT_TRUE(result.downloaded) << fs::path(result.error).string();
  EXPECT_EQ(result.installer_path, target.u16string());
  std::ifstream saved(target, std::ios::binary);
  EXPECT_EQ(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(saved), {}), body)
      << "the missing folders were made and the installer saved whole";
  saved.close();
  ASSERT_FALSE(g_posted.progress.empty());
  EXPECT_EQ(g_posted.progress.back(), 1000u);

  std::u16string wrong = digest;
  wrong[10] = wrong[10] == u'0' ? u'1' : u'0';
  result = download(sink, server + u"/sized/300000", wrong, target);
  EXPECT_FALSE(result.downloaded);
  EXPECT_EQ(result.error, u"The downloaded installer doesn't match the signed update information, so it was deleted.");
  EXPECT_FALSE(fs::exists(target)) << "a corrupted download is deleted";

  result = download(sink, server + u"/status/404", digest, target);
  EXPECT_FALSE(result.downloaded);
  EXPECT_FALSE(result.error.empty());

  DestroyWindow(sink);
  fs::remove_all(target.parent_path().parent_path());
}

TEST(UpdateInstall, InstallerGoesToTheTemporaryUpdateFolder) {
  const std::u16string path = installer_path_for(u"https://updates.wrenfold.example/2.1/Wrenfold-2.1.0.exe");
  const std::u16string_view tail = u"\\Wrenfold-Update\\Wrenfold-2.1.0.exe";
  ASSERT_GT(path.size(), tail.size());
  EXPECT_EQ(std::u16string_view(path).substr(path.size() - tail.size()), tail);
}

// Run only as the child process of the next test: another process of the same executable.
TEST(UpdateInstallChild, DISABLED_StaysAWhile) { Sleep(8'000); }

TEST(UpdateInstall, AnotherProcessOfTheProgramCountsAsAnotherWindow) {
  EXPECT_FALSE(other_instance_running());
  wchar_t program[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  std::wstring command_line = L"\"" + std::wstring(program) +
                              L"\" --gtest_filter=UpdateInstallChild.DISABLED_StaysAWhile --gtest_also_run_disabled_tests";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(CreateProcessW(program, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &process));
  bool seen = false;
  for (int attempt = 0; attempt < 60 && !seen; ++attempt) {
    seen = other_instance_running();
    if (!seen) Sleep(50);
  }
  TerminateProcess(process.hProcess, 0);
  WaitForSingleObject(process.hProcess, 5'000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_TRUE(seen);
  EXPECT_FALSE(other_instance_running()) << "and not once it has gone";
}

class FinishInstallTest : public testing::MainWindowTest {};

TEST_F(FinishInstallTest, CancellingTheSaveQuestionInstallsNothing) {
  std::vector<MessageRequest> asked;
  set_message_responder([&asked](const MessageRequest& request) -> std::optional<int> {
    asked.push_back(request);
    return IDCANCEL;
  });
  state().modified = true;
  state().download_running = true;
  finish_update_install(state(), std::make_unique<DownloadResult>(DownloadResult{true, u"C:\\nowhere\\setup.exe", {}}));
  set_message_responder({});
  EXPECT_EQ(asked.size(), 1u) << "the unsaved-changes question";
  EXPECT_FALSE(state().download_running);
  EXPECT_TRUE(IsWindow(state().main_window));
  EXPECT_TRUE(state().instance_mutex.get()) << "still a running instance";
}

TEST_F(FinishInstallTest, AnInstallerThatCannotStartKeepsTheProgramRunning) {
  state().modified = false;
  finish_update_install(state(),
                        std::make_unique<DownloadResult>(DownloadResult{true, u"C:\\nowhere\\missing-setup.exe", {}}));
  EXPECT_TRUE(IsWindow(state().main_window));
  ASSERT_TRUE(state().instance_mutex.get()) << "the mutex is taken again";
  const HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, L"Wrenfold.Running");
  EXPECT_NE(mutex, nullptr);
  if (mutex != nullptr) CloseHandle(mutex);

  finish_update_install(state(), std::make_unique<DownloadResult>(DownloadResult{false, {}, u"network error"}));
  EXPECT_TRUE(IsWindow(state().main_window)) << "a failed download changes nothing";
}

}  // namespace
}  // namespace wrenfold::ui
