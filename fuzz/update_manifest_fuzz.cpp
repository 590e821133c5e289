// Any bytes: the manifest parser either reads a manifest or refuses with a message; Base64 decoding gives exactly three bytes per group less the padding; the address
// rules and the signature URL hold for any text; and nothing verifies against the built-in key.

#include <cstdlib>
#include <string>

#include "base64.h"
#include "updates.h"
#include "white_space.h"

using namespace wrenfold;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  const Result<UpdateManifest> manifest = parse_update_manifest(bytes);
  if (!manifest && manifest.error().message.empty()) std::abort();

  // The same bytes as UTF-16 units.
  std::u16string text(size / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  if (const std::optional<std::vector<std::uint8_t>> decoded = decode_base64(text)) {
    const std::u16string_view trimmed = trim_white_space(text);
    const std::size_t padding = trimmed.ends_with(u"==") ? 2 : trimmed.ends_with(u"=") ? 1 : 0;
    if (decoded->size() != trimmed.size() / 4 * 3 - padding) std::abort();
  }

  const std::u16string signature_url = update_signature_url(text);
  is_allowed_update_url(text);
  if (!signature_url.ends_with(u"/latest.signature.txt")) std::abort();

  const std::size_t half = size / 2;
  if (verify_update_signature(bytes.first(half), bytes.subspan(half), kUpdatePublicKey)) std::abort();
  return 0;
}
