#include "http.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>
#include <string>
#include <vector>

#include "main_window.h"
#include "white_space.h"
#include "update_server.h"

namespace wrenfold::ui {
namespace {

using testing::update_server_address;

// What the test server sends for /sized/N and /unsized/N.
std::vector<std::uint8_t> served_body(std::size_t length) {
  std::vector<std::uint8_t> body(length);
  for (std::size_t i = 0; i < length; ++i) body[i] = static_cast<std::uint8_t>(i * 7 % 251);
  return body;
}

std::string narrow(std::u16string_view text) {
  std::string out;
  for (char16_t unit : text) out += unit < 0x80 ? static_cast<char>(unit) : '?';
  return out;
}

std::wstring temporary_path(const wchar_t* name) {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder) + name;
}

UniqueHandle create_file(const std::wstring& path) {
  return UniqueHandle(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::vector<std::uint8_t> file_bytes(const std::wstring& path) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) return {};
  std::vector<std::uint8_t> bytes(GetFileSize(file.get(), nullptr));
  DWORD read = 0;
  if (!bytes.empty()) ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  bytes.resize(read);
  return bytes;
}

TEST(HttpClient, ReadsWholeBodiesWithOrWithoutALength) {
  const std::u16string server = update_server_address();
  ASSERT_FALSE(server.empty());
  for (std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{81'920}, std::size_t{250'001}}) {
    for (const char16_t* route : {u"/sized/", u"/unsized/"}) {
      const std::string digits = std::to_string(length);
      const std::u16string url = server + route + std::u16string(digits.begin(), digits.end());
      const Result<std::vector<std::uint8_t>> body = http_get_bytes(kUpdateUserAgent, url);
      ASSERT_TRUE(body.ok()) << narrow(url) << ": " << narrow(body.error().message);
      EXPECT_EQ(*body, served_body(length)) << narrow(url);
    }
  }
  // Redirects are followed.
  const Result<std::vector<std::uint8_t>> redirected =
      http_get_bytes(kUpdateUserAgent, server + u"/redirect/sized/10");
  ASSERT_TRUE(redirected.ok()) << narrow(redirected.error().message);
  EXPECT_EQ(*redirected, served_body(10));
}

TEST(HttpClient, SendsThePathWithItsQueryAndTheUserAgent) {
  const std::u16string server = update_server_address();
  ASSERT_FALSE(server.empty());
  const Result<std::vector<std::uint8_t>> echo =
      http_get_bytes(u"Wrenfold/2.0.1", server + u"/echo?channel=stable&x=%20");
  ASSERT_TRUE(echo.ok()) << narrow(echo.error().message);
  EXPECT_EQ(std::string(echo->begin(), echo->end()), "/echo?channel=stable&x=%20\nWrenfold/2.0.1\n");
}

TEST(HttpClient, ReportsFailuresAsText) {
  const std::u16string server = update_server_address();
  ASSERT_FALSE(server.empty());
  const std::vector<std::pair<std::u16string, std::u16string>> cases = {
      {server + u"/status/404", u"the server answered 404"},
      {server + u"/status/500", u"the server answered 500"},
      {server + u"/status/204", u"the server answered 204"},
      {server + u"/no/such/file", u"the server answered 404"},
      {u"ftp://updates.wrenfold.example/latest.json",
       u"Invalid address: ftp://updates.wrenfold.example/latest.json"},
      {u"no address at all", u"Invalid address: no address at all"},
      {u"", u"Invalid address: "},
  };
  for (const auto& [url, message] : cases) {
    const Result<std::vector<std::uint8_t>> body = http_get_bytes(kUpdateUserAgent, url);
    ASSERT_FALSE(body.ok()) << narrow(url);
    EXPECT_EQ(body.error().message, message) << narrow(url);
  }
  // A body cut short by the server is a failure, not a shorter file.
  const Result<std::vector<std::uint8_t>> truncated =
      http_get_bytes(kUpdateUserAgent, server + u"/truncated/100000");
  EXPECT_FALSE(truncated.ok());
}

TEST(HttpClient, UnresolvableHostGivesTheSystemText) {
  const Result<std::vector<std::uint8_t>> body =
      http_get_bytes(kUpdateUserAgent, u"https://no-such-host.invalid/wrenfold/latest.json");
  ASSERT_FALSE(body.ok());
  const std::u16string& message = body.error().message;
  EXPECT_FALSE(message.empty());
  EXPECT_EQ(message, std::u16string(trim_white_space(message)));
  std::cout << "unresolvable host: " << narrow(message) << "\n";
}

TEST(HttpClient, ErrorTextFallsBackToTheNumber) {
  SetLastError(0x2000'FFF0);
  EXPECT_EQ(winhttp_error_text(), u"network error 536936432");
  // WinHTTP's own texts come from its module and arrive without the trailing line break.
  SetLastError(ERROR_WINHTTP_NAME_NOT_RESOLVED);
  const std::u16string resolved = winhttp_error_text();
  EXPECT_EQ(resolved, std::u16string(trim_white_space(resolved)));
  EXPECT_FALSE(resolved.empty());
}

TEST(HttpDownload, StreamsIntoTheFileWithProgress) {
  const std::u16string server = update_server_address();
  ASSERT_FALSE(server.empty());
  const std::wstring path = temporary_path(L"wrenfold-http-test.bin");
  std::vector<double> fractions;
  const Result<void> sized = http_download_to_file(
      kUpdateUserAgent, server + u"/sized/250000", create_file(path),
      [&fractions](double fraction) { fractions.push_back(fraction); });
  ASSERT_TRUE(sized.ok()) << narrow(sized.error().message);
  EXPECT_EQ(file_bytes(path), served_body(250'000));
  ASSERT_FALSE(fractions.empty());
  EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
  EXPECT_GT(fractions.front(), 0.0);
  EXPECT_EQ(fractions.back(), 1.0);

  fractions.clear();
  const Result<void> unsized = http_download_to_file(
      kUpdateUserAgent, server + u"/unsized/200000", create_file(path),
      [&fractions](double fraction) { fractions.push_back(fraction); });
  ASSERT_TRUE(unsized.ok()) << narrow(unsized.error().message);
  EXPECT_EQ(file_bytes(path), served_body(200'000));
  EXPECT_TRUE(fractions.empty());

  // Failures close the file too: it can be opened without sharing straight afterwards.
  const Result<void> missing =
      http_download_to_file(kUpdateUserAgent, server + u"/status/404", create_file(path), {});
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.error().message, u"the server answered 404");
  const Result<void> truncated = http_download_to_file(
      kUpdateUserAgent, server + u"/truncated/100000", create_file(path), {});
  EXPECT_FALSE(truncated.ok());
  UniqueHandle reopened(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_NE(reopened.get(), INVALID_HANDLE_VALUE);
  reopened.reset();
  DeleteFileW(path.c_str());
}

TEST(HttpDownload, WriteFailureGivesTheSystemText) {
  const std::u16string server = update_server_address();
  ASSERT_FALSE(server.empty());
  const std::wstring path = temporary_path(L"wrenfold-http-read-only.bin");
  // Opened for reading only, so every write fails.
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_NE(file.get(), INVALID_HANDLE_VALUE);
  const Result<void> result =
      http_download_to_file(kUpdateUserAgent, server + u"/sized/1000", std::move(file), {});
  ASSERT_FALSE(result.ok());
  EXPECT_FALSE(result.error().message.empty());
  EXPECT_EQ(result.error().message, std::u16string(trim_white_space(result.error().message)));
  DeleteFileW(path.c_str());
}

TEST(HttpDownload, ProgressPostsThousandthsOnlyWhenTheyChange) {
  const std::vector<std::pair<double, std::int32_t>> cases = {
      {0.0, 0},
      {0.0004, 0},
      {0.5, 500},
      {0.9999, 999},
      {1.0, 1000},
      {std::numeric_limits<double>::quiet_NaN(), 0},
      {1e12, std::numeric_limits<std::int32_t>::max()},
      {-1e12, std::numeric_limits<std::int32_t>::min()},
      {std::numeric_limits<double>::infinity(), std::numeric_limits<std::int32_t>::max()},
  };
  for (const auto& [fraction, thousandths] : cases) {
    EXPECT_EQ(progress_thousandths(fraction), thousandths) << fraction;
  }

  const HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  DownloadProgressPoster poster(window);
  for (double fraction : {0.0, 0.0001, 0.0009, 0.25, 0.2504, 0.2511, 1.0, 1.0}) poster(fraction);
  std::vector<WPARAM> posted;
  MSG message;
  while (PeekMessageW(&message, window, kMessageDownloadProgress, kMessageDownloadProgress, PM_REMOVE)) {
    EXPECT_EQ(message.lParam, 0);
    posted.push_back(message.wParam);
  }
  EXPECT_EQ(posted, (std::vector<WPARAM>{0, 250, 251, 1000}));
  DestroyWindow(window);
}

}  // namespace
}  // namespace wrenfold::ui
