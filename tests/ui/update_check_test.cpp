#include "update_check.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "main_window.h"
#include "update_fixtures.h"
#include "update_server.h"

namespace wrenfold::ui {
namespace {

using testing::update_server_address;

std::string narrow(std::u16string_view text) {
  std::string out;
  for (char16_t unit : text) out += unit < 0x80 ? static_cast<char>(unit) : '?';
  return out;
}

TEST(UpdateCheckOverHttp, FindsTheSignedReleaseBesideTheManifest) {
  const std::u16string server = update_server_address();
  ASSERT_FALSE(server.empty());
  const UpdateCheckResult newer = check_for_update(server + u"/v2.1/latest.json", kTestPublicKey);
  ASSERT_EQ(newer.outcome, UpdateCheckOutcome::Available) << narrow(newer.message);
  EXPECT_EQ(newer.version, u"2.1");
  EXPECT_EQ(newer.notes, u"Faster search.");
  EXPECT_EQ(newer.download.url, u"https://downloads.wrenfold.example/wrenfold-2.x-" +
                                    std::u16string(update_architecture_key()) + u".exe");

  EXPECT_EQ(check_for_update(server + u"/v2.0.1/latest.json", kTestPublicKey).outcome,
            UpdateCheckOutcome::UpToDate);
  EXPECT_EQ(check_for_update(server + u"/v2.1/latest.json", kOtherPublicKey).message,
            kUpdateNotSignedMessage);
}

TEST(UpdateCheckOverHttp, FetchFailuresSayWhy) {
  const std::u16string server = update_server_address();
  ASSERT_FALSE(server.empty());
  EXPECT_EQ(check_for_update(server + u"/missing/latest.json", kTestPublicKey).message,
            u"Couldn't check for updates: the server answered 404");
  // A manifest without its signature file.
  const std::string folder = std::string(WRENFOLD_UPDATE_FIXTURES) + "/unsigned";
  CreateDirectoryA(folder.c_str(), nullptr);
  std::ofstream(folder + "/latest.json") << "{\"version\": \"9.0\", \"downloads\": {}}";
  const UpdateCheckResult unsigned_manifest =
      check_for_update(server + u"/unsigned/latest.json", kTestPublicKey);
  EXPECT_EQ(unsigned_manifest.outcome, UpdateCheckOutcome::Failed);
  EXPECT_EQ(unsigned_manifest.message, u"Couldn't check for updates: the server answered 404");
}

// Runs the check on a worker thread, as the program does, and waits for what it posts.
std::unique_ptr<UpdateCheckResult> posted_result_of_check() {
  const HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      nullptr, nullptr);
  EXPECT_NE(window, nullptr);
  std::thread([window] { run_update_check(window); }).detach();
  std::unique_ptr<UpdateCheckResult> result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!result && std::chrono::steady_clock::now() < deadline) {
    MSG message;
    if (PeekMessageW(&message, window, kMessageUpdateCheckResult, kMessageUpdateCheckResult,
                     PM_REMOVE)) {
      EXPECT_EQ(message.wParam, 0u);
      result.reset(reinterpret_cast<UpdateCheckResult*>(message.lParam));
    } else {
      Sleep(10);
    }
  }
  DestroyWindow(window);
  return result;
}

TEST(UpdateCheckOverHttp, PostsTheResultForTheAddressInTheEnvironment) {
  const std::u16string server = update_server_address();
  ASSERT_FALSE(server.empty());
  // Used as it is; the built-in key did not sign the test manifest.
  const std::u16string manifest = server + u"/v2.1/latest.json";
  SetEnvironmentVariableW(L"WRENFOLD_UPDATE_URL", reinterpret_cast<const wchar_t*>(manifest.c_str()));
  std::unique_ptr<UpdateCheckResult> result = posted_result_of_check();
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->outcome, UpdateCheckOutcome::Failed);
  EXPECT_EQ(result->message, kUpdateNotSignedMessage);

  const std::u16string missing = server + u"/nothing/here.json";
  SetEnvironmentVariableW(L"WRENFOLD_UPDATE_URL", reinterpret_cast<const wchar_t*>(missing.c_str()));
  result = posted_result_of_check();
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->message, u"Couldn't check for updates: the server answered 404");

  // Empty counts as unset.
  SetEnvironmentVariableW(L"WRENFOLD_UPDATE_URL", L"");
  EXPECT_EQ(update_manifest_url(), kDefaultUpdateManifestUrl);
  SetEnvironmentVariableW(L"WRENFOLD_UPDATE_URL", nullptr);
  EXPECT_EQ(update_manifest_url(), kDefaultUpdateManifestUrl);
}

}  // namespace
}  // namespace wrenfold::ui
