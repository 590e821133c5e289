// Any bytes: the manifest parser either reads a manifest or refuses with a message; Base64
// decoding accepts only text that is the one encoding of what it gives back; the address
// rules and the signature URL hold for any text; and nothing verifies against the built-in key.

#include <algorithm>
#include <cstdlib>
#include <string>

#include "base64.h"
#include "update_public_key.h"
#include "updates.h"
#include "white_space.h"

using namespace wrenfold;

namespace {

std::u16string encode_base64(const std::vector<std::uint8_t>& bytes) {
  static constexpr char16_t kAlphabet[] =
      u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::u16string text;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t count = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 3; ++k) group = (group << 8) | (k < count ? bytes[i + k] : 0);
    for (std::size_t k = 0; k < 4; ++k) {
      text += k <= count ? kAlphabet[(group >> (18 - 6 * k)) & 63] : u'=';
    }
  }
  return text;
}

}  // namespace

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
    if (encode_base64(*decoded) != trim_white_space(text)) std::abort();
  }

  const std::u16string signature_url = update_signature_url(text);
  is_allowed_update_url(text);
  if (!signature_url.ends_with(u"/latest.signature.txt")) std::abort();

  const std::size_t half = size / 2;
  if (verify_update_signature(bytes.first(half), bytes.subspan(half), kUpdatePublicKey)) std::abort();
  return 0;
}
