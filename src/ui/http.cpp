#include "http.h"

#include <winhttp.h>

#include <cmath>
#include <limits>
#include <optional>

#include "main_window.h"
#include "system_text.h"
#include "white_space.h"

namespace wrenfold::ui {
namespace {

constexpr DWORD kTimeoutMs = 30'000;
constexpr DWORD kChunkBytes = 81'920;
constexpr DWORD kHostNameLength = 256;
constexpr DWORD kUrlPathLength = 2048;
constexpr DWORD kExtraInfoLength = 2048;

const wchar_t* wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

std::u16string core_text(const wchar_t* text, std::size_t length) {
  return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

std::u16string decimal(std::uint64_t number) {
  const std::string digits = std::to_string(number);
  return std::u16string(digits.begin(), digits.end());
}

// A session, connection or request handle.
class InternetHandle {
 public:
  InternetHandle() = default;
  explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
  InternetHandle(InternetHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  InternetHandle& operator=(InternetHandle&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  ~InternetHandle() {
    if (handle_ != nullptr) WinHttpCloseHandle(handle_);
  }
  HINTERNET get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  HINTERNET handle_ = nullptr;
};

// An answered request. Members close in the reverse order of opening.
struct OpenRequest {
  InternetHandle session;
  InternetHandle connection;
  InternetHandle request;
  std::optional<std::uint64_t> content_length;
};

Error winhttp_error() { return Error{winhttp_error_text()}; }

std::u16string write_error_text(DWORD code) { return system_error_text(HRESULT_FROM_WIN32(code)); }

// Some WinHTTP implementations refuse the 64-bit number query; the header's text then
// gives the same number.
std::optional<std::uint64_t> content_length(HINTERNET request) {
  std::uint64_t length = 0;
  DWORD length_size = sizeof length;
  if (WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER64,
                          WINHTTP_HEADER_NAME_BY_INDEX, &length, &length_size,
                          WINHTTP_NO_HEADER_INDEX)) {
    return length;
  }
  wchar_t text[32];
  DWORD text_size = sizeof text;
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX,
                           text, &text_size, WINHTTP_NO_HEADER_INDEX)) {
    return std::nullopt;
  }
  const std::u16string_view digits =
      trim_white_space(std::u16string_view(reinterpret_cast<const char16_t*>(text),
                                                text_size / sizeof(wchar_t)));
  if (digits.empty() || digits.size() > 19) return std::nullopt;
  length = 0;
  for (char16_t digit : digits) {
    if (digit < u'0' || digit > u'9') return std::nullopt;
    length = length * 10 + static_cast<std::uint64_t>(digit - u'0');
  }
  return length;
}

Result<OpenRequest> open_request(std::u16string_view user_agent, std::u16string_view url) {
  const std::u16string url_text(url);
  wchar_t host[kHostNameLength];
  wchar_t path[kUrlPathLength];
  wchar_t extra[kExtraInfoLength];
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = kHostNameLength;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = kUrlPathLength;
  parts.lpszExtraInfo = extra;
  parts.dwExtraInfoLength = kExtraInfoLength;
  if (!WinHttpCrackUrl(wide(url_text), static_cast<DWORD>(url_text.size()), 0, &parts)) {
    return Error{u"Invalid address: " + url_text};
  }
  std::wstring request_path(path, parts.dwUrlPathLength);
  request_path.append(extra, parts.dwExtraInfoLength);

  OpenRequest opened;
  const std::u16string agent(user_agent);
  opened.session = InternetHandle(WinHttpOpen(wide(agent), WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                              WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!opened.session) return winhttp_error();
  if (!WinHttpSetTimeouts(opened.session.get(), kTimeoutMs, kTimeoutMs, kTimeoutMs, kTimeoutMs)) {
    return winhttp_error();
  }
  opened.connection = InternetHandle(WinHttpConnect(opened.session.get(), host, parts.nPort, 0));
  if (!opened.connection) return winhttp_error();
  const DWORD flags = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
  opened.request = InternetHandle(WinHttpOpenRequest(opened.connection.get(), L"GET",
                                                     request_path.c_str(), nullptr,
                                                     WINHTTP_NO_REFERER,
                                                     WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
  if (!opened.request) return winhttp_error();
  if (!WinHttpSendRequest(opened.request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                          WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !WinHttpReceiveResponse(opened.request.get(), nullptr)) {
    return winhttp_error();
  }

  DWORD status = 0;
  DWORD status_size = sizeof status;
  if (!WinHttpQueryHeaders(opened.request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &status, &status_size,
                           WINHTTP_NO_HEADER_INDEX)) {
    return winhttp_error();
  }
  if (status != 200) return Error{u"the server answered " + decimal(status)};
  opened.content_length = content_length(opened.request.get());
  return opened;
}

// Hands the body chunk by chunk to `take`, with the count received so far; an error from
// `take` ends the reading.
template <typename Take>
Result<void> read_body(OpenRequest& opened, Take&& take) {
  std::vector<std::uint8_t> chunk(kChunkBytes);
  std::uint64_t received = 0;
  while (true) {
    DWORD read = 0;
    if (!WinHttpReadData(opened.request.get(), chunk.data(), kChunkBytes, &read)) {
      return winhttp_error();
    }
    if (read == 0) break;
    received += read;
    if (Result<void> taken = take(std::span<const std::uint8_t>(chunk.data(), read), received);
        !taken) {
      return taken;
    }
  }
  // A connection that ends early would otherwise pass for the whole body.
  if (opened.content_length && received < *opened.content_length) {
    return Error{u"the connection ended after " + decimal(received) + u" of " +
                 decimal(*opened.content_length) + u" bytes"};
  }
  return {};
}

}  // namespace

std::u16string winhttp_error_text() {
  const DWORD code = GetLastError();
  wchar_t buffer[512];
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
      GetModuleHandleW(L"winhttp.dll"), code, 0, buffer, static_cast<DWORD>(std::size(buffer)),
      nullptr);
  const std::u16string text(trim_white_space(core_text(buffer, length)));
  return text.empty() ? u"network error " + decimal(code) : text;
}

Result<std::vector<std::uint8_t>> http_get_bytes(std::u16string_view user_agent,
                                                 std::u16string_view url) {
  Result<OpenRequest> opened = open_request(user_agent, url);
  if (!opened) return opened.error();
  std::vector<std::uint8_t> body;
  Result<void> read =
      read_body(*opened, [&body](std::span<const std::uint8_t> chunk, std::uint64_t) {
        body.insert(body.end(), chunk.begin(), chunk.end());
        return Result<void>();
      });
  if (!read) return read.error();
  return body;
}

Result<void> http_download_to_file(std::u16string_view user_agent, std::u16string_view url,
                                   UniqueHandle file, const DownloadProgressSink& progress) {
  Result<OpenRequest> opened = open_request(user_agent, url);
  if (!opened) return opened.error();
  const std::uint64_t total = opened->content_length.value_or(0);
  Result<void> read = read_body(
      *opened, [&](std::span<const std::uint8_t> chunk, std::uint64_t received) -> Result<void> {
        DWORD written = 0;
        if (!WriteFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &written,
                       nullptr)) {
          return Error{write_error_text(GetLastError())};
        }
        if (written != chunk.size()) return Error{write_error_text(ERROR_DISK_FULL)};
        if (total > 0 && progress) {
          progress(static_cast<double>(received) / static_cast<double>(total));
        }
        return {};
      });
  if (!read) return read;
  if (!FlushFileBuffers(file.get())) return Error{write_error_text(GetLastError())};
  if (!CloseHandle(file.release())) return Error{write_error_text(GetLastError())};
  return {};
}

std::int32_t progress_thousandths(double fraction) {
  const double thousandths = fraction * 1000.0;
  if (std::isnan(thousandths)) return 0;
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  if (thousandths >= static_cast<double>(kMax)) return kMax;
  if (thousandths <= static_cast<double>(kMin)) return kMin;
  return static_cast<std::int32_t>(thousandths);
}

void DownloadProgressPoster::operator()(double fraction) {
  const std::int32_t thousandths = progress_thousandths(fraction);
  if (thousandths == last_posted_) return;
  last_posted_ = thousandths;
  PostMessageW(window_, kMessageDownloadProgress, static_cast<WPARAM>(thousandths), 0);
}

}  // namespace wrenfold::ui
