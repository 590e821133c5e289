#pragma once
// The update subsystem's HTTP client: one blocking GET at a time on a worker thread, into
// memory or into a file. Every failure comes back as the text the user will see.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "result.h"
#include "updates.h"  // is_allowed_update_url, the rule for installer addresses
#include "win32_handles.h"

namespace wrenfold::ui {

// The whole response body of a 200 answer.
Result<std::vector<std::uint8_t>> http_get_bytes(std::u16string_view user_agent,
                                                 std::u16string_view url);

// Receives the fraction of the body received so far, when the server said how long it is.
using DownloadProgressSink = std::function<void(double fraction)>;

// Streams the body of a 200 answer into `file`, already created for writing, which is
// flushed and closed on success and closed on failure.
Result<void> http_download_to_file(std::u16string_view user_agent, std::u16string_view url,
                                   UniqueHandle file, const DownloadProgressSink& progress);

// The text for the calling thread's last error, WinHTTP's own messages included.
std::u16string winhttp_error_text();

// A progress sink that posts WM_APP + 3 with the thousandths received as wParam, only when
// that number changes, so a download posts at most about a thousand messages.
class DownloadProgressPoster {
 public:
  explicit DownloadProgressPoster(HWND window) : window_(window) {}
  void operator()(double fraction);

 private:
  HWND window_;
  std::int32_t last_posted_ = -1;
};

// `fraction` × 1000, saturated to 32 bits; NaN gives 0.
std::int32_t progress_thousandths(double fraction);

}  // namespace wrenfold::ui
