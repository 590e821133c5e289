#include "update_check.h"

#include <memory>

#include "http.h"
#include "main_window.h"
#include "update_public_key.h"

namespace wrenfold::ui {

UpdateCheckResult check_for_update(std::u16string_view manifest_url,
                                   std::u16string_view public_key) {
  const auto failed = [](const Error& error) {
    UpdateCheckResult result;
    result.message = std::u16string(kCouldNotCheckPrefix) + error.message;
    return result;
  };
  const Result<std::vector<std::uint8_t>> manifest = http_get_bytes(kUpdateUserAgent, manifest_url);
  if (!manifest) return failed(manifest.error());
  const Result<std::vector<std::uint8_t>> signature =
      http_get_bytes(kUpdateUserAgent, update_signature_url(manifest_url));
  if (!signature) return failed(signature.error());
  return evaluate_update(*manifest, *signature, public_key, update_architecture_key());
}

void run_update_check(HWND main_window) {
  auto result = std::make_unique<UpdateCheckResult>(
      check_for_update(update_manifest_url(), kUpdatePublicKey));
  // A window that is gone can't take the record over; it is freed here instead.
  if (PostMessageW(main_window, kMessageUpdateCheckResult, 0,
                   reinterpret_cast<LPARAM>(result.get()))) {
    result.release();
  }
}

}  // namespace wrenfold::ui
