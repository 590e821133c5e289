#pragma once
// The update check's rules: where the manifest lives, its signature, its format, which
// release it offers for this machine, and which installer addresses are acceptable.

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "result.h"

namespace wrenfold {

inline constexpr std::u16string_view kDefaultUpdateManifestUrl =
    u"https://updates.wrenfold.example/wrenfold/latest.json";
inline constexpr std::u16string_view kUpdateSignatureFileName = u"latest.signature.txt";
inline constexpr std::u16string_view kUpdateUserAgent = u"Wrenfold/2.0.1";

inline constexpr std::u16string_view kUpdateNotSignedMessage =
    u"The update information isn't signed correctly, so it was ignored.";
inline constexpr std::u16string_view kCouldNotCheckPrefix = u"Couldn't check for updates: ";

struct UpdateDownload {
  std::u16string url;
  std::u16string sha256;  // hexadecimal, as the manifest gives it
  std::uint64_t size = 0;

  bool operator==(const UpdateDownload&) const = default;
};

struct UpdateManifest {
  std::u16string version;
  std::optional<std::u16string> released;
  std::optional<std::u16string> notes;
  std::map<std::u16string, UpdateDownload> downloads;  // by architecture key

  bool operator==(const UpdateManifest&) const = default;
};

enum class UpdateCheckOutcome : std::uint8_t { UpToDate, Available, Failed };

// What one check found. The release fields count only for Available, the message only for
// Failed.
struct UpdateCheckResult {
  UpdateCheckOutcome outcome = UpdateCheckOutcome::Failed;
  std::u16string version;
  std::u16string released;
  std::u16string notes;
  UpdateDownload download;
  std::u16string message;

  bool operator==(const UpdateCheckResult&) const = default;
};

// `WRENFOLD_UPDATE_URL` when it is set and not empty, taken whole; else the built-in address.
std::u16string update_manifest_url();

// The signature file beside the manifest: everything up to the last "/" after "://", then
// the signature file name.
std::u16string update_signature_url(std::u16string_view manifest_url);

// https with something after the scheme, or plain http to this machine only (localhost,
// [::1] or 127.x), letters compared without case.
bool is_allowed_update_url(std::u16string_view url);

// "arm64" on an ARM64 machine, even for an emulated process; "x64" otherwise.
std::u16string_view update_architecture_key();

// Whether `signature_file` (Base64 of raw r then s) is a valid ECDSA P-256 signature of the
// SHA-256 of `manifest`, byte for byte, by `public_key` (Base64 of its DER
// SubjectPublicKeyInfo).
bool verify_update_signature(std::span<const std::uint8_t> manifest,
                             std::span<const std::uint8_t> signature_file,
                             std::u16string_view public_key);

// The manifest in `bytes` (a JSON object, or an array of its four values in order), or the
// parser's message. Unknown members are ignored; a member given twice is an error.
Result<UpdateManifest> parse_update_manifest(std::span<const std::uint8_t> bytes);

// Whether an automatic check is due: never checked, an unreadable time, or at least a day
// since that time. A time in the future counts as due, so a clock set back can't stop checks.
bool update_check_due(const std::optional<std::u16string>& last_check, std::int64_t now);

// The check's verdict on the fetched manifest and signature: the signature first, then the
// manifest, the version and the download for `architecture_key`.
UpdateCheckResult evaluate_update(std::span<const std::uint8_t> manifest,
                                  std::span<const std::uint8_t> signature_file,
                                  std::u16string_view public_key,
                                  std::u16string_view architecture_key);

}  // namespace wrenfold
