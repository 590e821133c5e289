#include "updates.h"

#include <algorithm>
#include <array>
#include <set>
#include <vector>

#include <nlohmann/json.hpp>

#include "base64.h"
#include "platform.h"
#include "timestamp.h"
#include "utf.h"
#include "version.h"

namespace wrenfold {
namespace {

using Json = nlohmann::json;

// Deeper manifests are refused rather than risk the stack of the code that walks them.
constexpr int kMaxNesting = 64;

// DER SubjectPublicKeyInfo of an uncompressed P-256 key up to the point marker 0x04; the key's
// X and Y follow.
constexpr std::array<std::uint8_t, 27> kP256KeyHeader = {
    0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x02, 0x01, 0x06,
    0x08, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04};
constexpr std::size_t kP256KeyLength = kP256KeyHeader.size() + 64;
constexpr std::size_t kP256SignatureLength = 64;

std::u16string utf16_of(std::span<const std::uint8_t> bytes) { return utf::utf16_from_utf8(bytes); }

std::u16string utf16_of(std::string_view text) {
  return utf::utf16_from_utf8({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

Error manifest_error(std::string_view text) { return Error{utf16_of(text)}; }

std::string in_quotes(std::string_view name) {
  std::string text(1, '"');
  text += name;
  text += '"';
  return text;
}

// Null counts as absent, as it does for the optional members.
const Json* member(const Json& object, std::string_view name) {
  const auto found = object.find(name);
  if (found == object.end() || found->is_null()) return nullptr;
  return &*found;
}

Result<std::u16string> required_string(const Json* value, std::string_view name) {
  if (value == nullptr) return manifest_error("missing member " + in_quotes(name));
  if (!value->is_string()) return manifest_error("member " + in_quotes(name) + " isn't a string");
  return utf16_of(value->get_ref<const std::string&>());
}

Result<std::optional<std::u16string>> optional_string(const Json* value, std::string_view name) {
  if (value == nullptr) return std::optional<std::u16string>();
  Result<std::u16string> text = required_string(value, name);
  if (!text) return text.error();
  return std::optional<std::u16string>(std::move(*text));
}

Error in_download(Error error, const std::string& key) {
  error.message += utf16_of(" in download " + in_quotes(key));
  return error;
}

Result<UpdateDownload> read_download(const std::string& key, const Json& value) {
  if (!value.is_object()) return manifest_error("download " + in_quotes(key) + " isn't an object");
  UpdateDownload download;
  Result<std::u16string> url = required_string(member(value, "url"), "url");
  if (!url) return in_download(url.error(), key);
  download.url = std::move(*url);
  Result<std::u16string> sha256 = required_string(member(value, "sha256"), "sha256");
  if (!sha256) return in_download(sha256.error(), key);
  download.sha256 = std::move(*sha256);
  const Json* size = member(value, "size");
  if (size == nullptr) return in_download(manifest_error("missing member \"size\""), key);
  if (!size->is_number_unsigned()) {
    return in_download(manifest_error("member \"size\" isn't an unsigned 64-bit number"), key);
  }
  download.size = size->get<std::uint64_t>();
  return download;
}

Result<UpdateManifest> read_manifest(const Json* version, const Json* released,
                                     const Json* notes, const Json* downloads) {
  UpdateManifest manifest;
  Result<std::u16string> version_text = required_string(version, "version");
  if (!version_text) return version_text.error();
  manifest.version = std::move(*version_text);
  Result<std::optional<std::u16string>> released_text = optional_string(released, "released");
  if (!released_text) return released_text.error();
  manifest.released = std::move(*released_text);
  Result<std::optional<std::u16string>> notes_text = optional_string(notes, "notes");
  if (!notes_text) return notes_text.error();
  manifest.notes = std::move(*notes_text);
  if (downloads == nullptr) return manifest_error("missing member \"downloads\"");
  if (!downloads->is_object()) return manifest_error("member \"downloads\" isn't an object");
  for (const auto& [key, value] : downloads->items()) {
    Result<UpdateDownload> download = read_download(key, value);
    if (!download) return download.error();
    manifest.downloads.emplace(utf16_of(key), std::move(*download));
  }
  return manifest;
}

// What the parser saw that the tree it builds no longer shows.
struct ParseChecks {
  std::vector<std::set<std::string>> object_keys;
  std::optional<std::string> duplicate_key;
  bool too_deep = false;
};

}  // namespace

std::u16string update_manifest_url() {
  std::optional<std::u16string> url = platform::environment_variable(u"WRENFOLD_UPDATE_URL");
  if (url && !url->empty()) return std::move(*url);
  return std::u16string(kDefaultUpdateManifestUrl);
}

std::u16string update_signature_url(std::u16string_view manifest_url) {
  const std::size_t scheme_end = manifest_url.find(u"://");
  const std::size_t path_start = scheme_end == std::u16string_view::npos ? 0 : scheme_end + 3;
  const std::size_t slash = manifest_url.rfind(u'/');
  std::u16string url;
  if (slash != std::u16string_view::npos && slash >= path_start) {
    url = manifest_url.substr(0, slash + 1);
  } else {
    url = manifest_url;
    url += u'/';
  }
  url += kUpdateSignatureFileName;
  return url;
}

bool is_allowed_update_url(std::u16string_view url) {
  std::u16string lowered(url);
  for (char16_t& unit : lowered) {
    if (unit >= u'A' && unit <= u'Z') unit = static_cast<char16_t>(unit - u'A' + u'a');
  }
  const std::u16string_view text = lowered;
  constexpr std::u16string_view kHttps = u"https://";
  constexpr std::u16string_view kHttp = u"http://";
  if (text.starts_with(kHttps)) return text.size() > kHttps.size();
  if (!text.starts_with(kHttp)) return false;

  const std::u16string_view rest = text.substr(kHttp.size());
  const std::u16string_view authority = rest.substr(0, rest.find_first_of(u"/?#"));
  // A user name before "@" would make "127.0.0.1@elsewhere" look local while the request
  // goes elsewhere.
  if (authority.find(u'@') != std::u16string_view::npos) return false;
  std::u16string_view host;
  if (authority.starts_with(u'[')) {
    const std::size_t close = authority.find(u']');
    host = close == std::u16string_view::npos ? authority : authority.substr(0, close + 1);
  } else {
    host = authority.substr(0, authority.find(u':'));
  }
  if (host.empty()) return false;
  if (host == u"localhost" || host == u"[::1]") return true;
  // Only an address: a name such as "127.example.com" can point anywhere.
  return host.size() >= 4 && host.starts_with(u"127.") &&
         std::all_of(host.begin(), host.end(),
                     [](char16_t unit) { return unit == u'.' || (unit >= u'0' && unit <= u'9'); });
}

std::u16string_view update_architecture_key() {
  return platform::machine_is_arm64() ? u"arm64" : u"x64";
}

bool verify_update_signature(std::span<const std::uint8_t> manifest,
                             std::span<const std::uint8_t> signature_file,
                             std::u16string_view public_key) {
  const std::optional<std::vector<std::uint8_t>> key = decode_base64(public_key);
  if (!key || key->size() != kP256KeyLength ||
      !std::equal(kP256KeyHeader.begin(), kP256KeyHeader.end(), key->begin())) {
    return false;
  }
  const std::optional<std::vector<std::uint8_t>> signature =
      decode_base64(utf16_of(signature_file));
  if (!signature || signature->size() != kP256SignatureLength) return false;
  const std::optional<platform::Sha256Digest> hash = platform::sha256(manifest);
  if (!hash) return false;
  return platform::verify_p256(std::span<const std::uint8_t, 64>(key->data() + kP256KeyHeader.size(), 64),
                               *hash, std::span<const std::uint8_t, 64>(signature->data(), 64));
}

Result<UpdateManifest> parse_update_manifest(std::span<const std::uint8_t> bytes) {
  // The parser would stop at a zero byte as if the input ended there; JSON never holds one.
  if (std::find(bytes.begin(), bytes.end(), std::uint8_t{0}) != bytes.end()) {
    return manifest_error("the update information holds a zero byte");
  }
  ParseChecks checks;
  const Json::parser_callback_t callback = [&checks](int depth, Json::parse_event_t event,
                                                     Json& parsed) {
    switch (event) {
      case Json::parse_event_t::object_start:
        checks.object_keys.emplace_back();
        [[fallthrough]];
      case Json::parse_event_t::array_start:
        if (depth >= kMaxNesting) checks.too_deep = true;
        break;
      case Json::parse_event_t::object_end: checks.object_keys.pop_back(); break;
      case Json::parse_event_t::key: {
        std::string key = parsed.get<std::string>();
        if (!checks.object_keys.back().insert(key).second && !checks.duplicate_key) {
          checks.duplicate_key = std::move(key);
        }
        break;
      }
      case Json::parse_event_t::array_end:
      case Json::parse_event_t::value: break;
    }
    return true;
  };
  Json root;
  try {
    root = Json::parse(bytes.begin(), bytes.end(), callback, /*allow_exceptions=*/true,
                       /*ignore_comments=*/false);
  } catch (const Json::exception& error) {
    // The message without its "[json.exception.parse_error.101] " tag.
    std::string_view text = error.what();
    if (text.starts_with('[')) text.remove_prefix(std::min(text.find("] ") + 2, text.size()));
    return manifest_error(text);
  }
  if (checks.too_deep) return manifest_error("the update information is nested too deeply");
  if (checks.duplicate_key) return manifest_error("member " + in_quotes(*checks.duplicate_key) + " is given twice");

  if (root.is_array()) {
    if (root.size() != 4) return manifest_error("the update information's array doesn't hold 4 values");
    const auto present = [](const Json& value) { return value.is_null() ? nullptr : &value; };
    return read_manifest(present(root[0]), present(root[1]), present(root[2]), present(root[3]));
  }
  if (!root.is_object()) return manifest_error("the update information isn't a JSON object");
  return read_manifest(member(root, "version"), member(root, "released"), member(root, "notes"),
                       member(root, "downloads"));
}

bool update_check_due(const std::optional<std::u16string>& last_check, std::int64_t now) {
  constexpr std::uint64_t kSecondsPerDay = 86'400;
  if (!last_check) return true;
  const std::optional<std::int64_t> last = parse_rfc3339(*last_check);
  if (!last) return true;
  return static_cast<std::uint64_t>(now) - static_cast<std::uint64_t>(*last) >= kSecondsPerDay;
}

UpdateCheckResult evaluate_update(std::span<const std::uint8_t> manifest_bytes,
                                  std::span<const std::uint8_t> signature_file,
                                  std::u16string_view public_key,
                                  std::u16string_view architecture_key) {
  UpdateCheckResult result;
  // An unsigned manifest is never parsed: its contents are not to be trusted even that far.
  if (!verify_update_signature(manifest_bytes, signature_file, public_key)) {
    result.message = kUpdateNotSignedMessage;
    return result;
  }
  Result<UpdateManifest> manifest = parse_update_manifest(manifest_bytes);
  if (!manifest) {
    result.message = std::u16string(kCouldNotCheckPrefix) + manifest.error().message;
    return result;
  }
  const std::optional<Version> offered = parse_version(manifest->version);
  if (!offered || *offered <= kProgramVersion) {
    result.outcome = UpdateCheckOutcome::UpToDate;
    return result;
  }
  const auto download = manifest->downloads.find(std::u16string(architecture_key));
  if (download == manifest->downloads.end() || !is_allowed_update_url(download->second.url)) {
    result.message = u"Version " + manifest->version + u" has no download for " +
                     std::u16string(architecture_key) + u".";
    return result;
  }
  result.outcome = UpdateCheckOutcome::Available;
  result.version = std::move(manifest->version);
  result.released = manifest->released.value_or(u"");
  result.notes = manifest->notes.value_or(u"");
  result.download = std::move(download->second);
  return result;
}

}  // namespace wrenfold
