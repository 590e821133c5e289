#include "updates.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform.h"
#include "timestamp.h"
#include "update_public_key.h"
#include "update_fixtures.h"

namespace wrenfold {
namespace {

std::string narrow(std::u16string_view text) {
  std::string out;
  for (char16_t unit : text) out += unit < 0x80 ? static_cast<char>(unit) : '?';
  return out;
}

std::vector<std::uint8_t> bytes_of(std::string_view text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

// A file of the signed fixtures made with the test key at build time.
std::vector<std::uint8_t> fixture(std::string_view name, std::string_view file) {
  const std::string path = std::string(WRENFOLD_UPDATE_FIXTURES) + "/" + std::string(name) + "/" +
                           std::string(file);
  platform::SystemResult<std::vector<std::uint8_t>> read =
      platform::read_file(std::u16string(path.begin(), path.end()));
  EXPECT_FALSE(read.error) << path;
  return read.value;
}

std::vector<std::uint8_t> manifest_of(std::string_view name) { return fixture(name, "latest.json"); }
std::vector<std::uint8_t> signature_of(std::string_view name) {
  return fixture(name, "latest.signature.txt");
}

UpdateCheckResult evaluate_fixture(std::string_view name, std::u16string_view architecture = u"x64") {
  return evaluate_update(manifest_of(name), signature_of(name), kTestPublicKey, architecture);
}

TEST(UpdateUrls, InstallerAddressesMustBeHttpsOrThisMachine) {
  const std::vector<std::pair<std::u16string_view, bool>> cases = {
      {u"https://downloads.wrenfold.example/setup.exe", true},
      {u"HTTPS://DOWNLOADS.WRENFOLD.EXAMPLE/SETUP.EXE", true},
      {u"HtTpS://x", true},
      {u"https://", false},
      {u"http://localhost:8080/setup.exe", true},
      {u"HTTP://LOCALHOST/setup.exe", true},
      {u"http://localhost", true},
      {u"http://[::1]:8080/setup.exe", true},
      {u"http://[::1]/x", true},
      {u"http://127.0.0.1/setup.exe", true},
      {u"http://127.0.0.1:80?x", true},
      {u"http://127.1#x", true},
      {u"http://localhost.example.com/setup.exe", false},
      {u"http://localhostx/setup.exe", false},
      {u"http://10.0.0.1/setup.exe", false},
      {u"http://192.168.1.2:8080/setup.exe", false},
      {u"http://[::2]/setup.exe", false},
      {u"http://[::1/setup.exe", false},
      {u"http://127./setup.exe", true},
      {u"http://127/setup.exe", false},
      {u"http:///setup.exe", false},
      {u"http://:8080/setup.exe", false},
      {u"http://", false},
      // A user name makes the real host the one after "@".
      {u"http://127.0.0.1@downloads.example.com/setup.exe", false},
      {u"http://localhost:80@downloads.example.com/setup.exe", false},
      // A name that merely starts like a loopback address can point anywhere.
      {u"http://127.example.com/setup.exe", false},
      {u"ftp://downloads.wrenfold.example/setup.exe", false},
      {u"file:///C:/setup.exe", false},
      {u"downloads.wrenfold.example/setup.exe", false},
      {u"", false},
  };
  for (const auto& [url, allowed] : cases) {
    EXPECT_EQ(is_allowed_update_url(url), allowed) << narrow(url);
  }
}

TEST(UpdateUrls, SignatureLivesBesideTheManifest) {
  const std::vector<std::pair<std::u16string_view, std::u16string_view>> cases = {
      {u"https://updates.wrenfold.example/wrenfold/latest.json",
       u"https://updates.wrenfold.example/wrenfold/latest.signature.txt"},
      {u"http://127.0.0.1:18200/a/b/manifest.json?x=1",
       u"http://127.0.0.1:18200/a/b/latest.signature.txt"},
      {u"https://updates.wrenfold.example/", u"https://updates.wrenfold.example/latest.signature.txt"},
      {u"https://updates.wrenfold.example", u"https://updates.wrenfold.example/latest.signature.txt"},
      {u"latest.json", u"latest.json/latest.signature.txt"},
  };
  for (const auto& [manifest, signature] : cases) {
    EXPECT_EQ(update_signature_url(manifest), signature) << narrow(manifest);
  }
  EXPECT_EQ(update_signature_url(kDefaultUpdateManifestUrl),
            u"https://updates.wrenfold.example/wrenfold/latest.signature.txt");
}

TEST(UpdateManifest, ReadsObjectAndArrayForms) {
  const Result<UpdateManifest> object = parse_update_manifest(bytes_of(R"(
    {"version": " 2.1 ", "released": "2026-12-01", "notes": "Line one\nLine two \u00e9",
     "extra": {"nested": [1, 2, {"deep": null}]},
     "downloads": {
       "x64": {"url": "https://d.example/x64.exe", "sha256": "AB01", "size": 18446744073709551615},
       "arm64": {"url": "https://d.example/arm64.exe", "sha256": "cd", "size": 0, "signed": true},
       "riscv": {"url": "u", "sha256": "s", "size": 1}
     }})"));
  ASSERT_TRUE(object.ok()) << narrow(object.error().message);
  EXPECT_EQ(object->version, u" 2.1 ");
  EXPECT_EQ(object->released, u"2026-12-01");
  EXPECT_EQ(object->notes, u"Line one\nLine two \u00e9");
  ASSERT_EQ(object->downloads.size(), 3u);
  EXPECT_EQ(object->downloads.at(u"x64"),
            (UpdateDownload{u"https://d.example/x64.exe", u"AB01", 18446744073709551615u}));
  EXPECT_EQ(object->downloads.at(u"arm64"), (UpdateDownload{u"https://d.example/arm64.exe", u"cd", 0}));

  const Result<UpdateManifest> array = parse_update_manifest(
      bytes_of(R"(["2.2", null, "n", {"x64": {"url": "https://d/x", "sha256": "00", "size": 7}}])"));
  ASSERT_TRUE(array.ok()) << narrow(array.error().message);
  EXPECT_EQ(array->version, u"2.2");
  EXPECT_EQ(array->released, std::nullopt);
  EXPECT_EQ(array->notes, u"n");
  EXPECT_EQ(array->downloads.at(u"x64").size, 7u);

  const Result<UpdateManifest> minimal =
      parse_update_manifest(bytes_of("{\"version\":\"2\",\"downloads\":{},\"notes\":null}"));
  ASSERT_TRUE(minimal.ok());
  EXPECT_EQ(minimal->released, std::nullopt);
  EXPECT_EQ(minimal->notes, std::nullopt);
}

TEST(UpdateManifest, RefusesMalformedManifestsWithAMessage) {
  const std::vector<std::pair<std::string_view, std::string_view>> cases = {
      {"", "parse error"},
      {"{\"version\": \"2.1\", ", "parse error"},
      {"{\"version\": \"2.1\", \"downloads\": {}} x", "parse error"},
      {"{\"version\": \"2.1\", \"downloads\": {}, /* note */}", "parse error"},
      {"{\"version\": \"\xFF\", \"downloads\": {}}", "parse error"},
      {std::string_view("{\"version\": \"2.1\", \"downloads\": {}}\0", 36), "zero byte"},
      {"\"2.1\"", "isn't a JSON object"},
      {"{\"downloads\": {}}", "missing member \"version\""},
      {"{\"version\": 2.1, \"downloads\": {}}", "member \"version\" isn't a string"},
      {"{\"version\": \"2.1\", \"notes\": 5, \"downloads\": {}}", "member \"notes\" isn't a string"},
      {"{\"version\": \"2.1\"}", "missing member \"downloads\""},
      {"{\"version\": \"2.1\", \"downloads\": []}", "member \"downloads\" isn't an object"},
      {"{\"version\": \"2.1\", \"version\": \"2.2\", \"downloads\": {}}",
       "member \"version\" is given twice"},
      {"{\"version\": \"2.1\", \"downloads\": {\"x64\": {\"url\": \"a\", \"url\": \"b\", "
       "\"sha256\": \"c\", \"size\": 1}}}",
       "member \"url\" is given twice"},
      {"{\"version\": \"2.1\", \"downloads\": {\"x64\": 5}}", "download \"x64\" isn't an object"},
      {"{\"version\": \"2.1\", \"downloads\": {\"x64\": {\"sha256\": \"c\", \"size\": 1}}}",
       "missing member \"url\" in download \"x64\""},
      {"{\"version\": \"2.1\", \"downloads\": {\"x64\": {\"url\": \"a\", \"size\": 1}}}",
       "missing member \"sha256\" in download \"x64\""},
      {"{\"version\": \"2.1\", \"downloads\": {\"x64\": {\"url\": \"a\", \"sha256\": \"c\"}}}",
       "missing member \"size\" in download \"x64\""},
      {"{\"version\": \"2.1\", \"downloads\": {\"x64\": {\"url\": \"a\", \"sha256\": \"c\", "
       "\"size\": -1}}}",
       "member \"size\" isn't an unsigned 64-bit number in download \"x64\""},
      {"{\"version\": \"2.1\", \"downloads\": {\"x64\": {\"url\": \"a\", \"sha256\": \"c\", "
       "\"size\": 1.5}}}",
       "isn't an unsigned 64-bit number"},
      {"{\"version\": \"2.1\", \"downloads\": {\"x64\": {\"url\": \"a\", \"sha256\": \"c\", "
       "\"size\": 18446744073709551616}}}",
       "isn't an unsigned 64-bit number"},
      {"[\"2.1\", null, null]", "doesn't hold 4 values"},
      {"[\"2.1\", null, null, {}, 5]", "doesn't hold 4 values"},
      {"[null, null, null, {}]", "missing member \"version\""},
  };
  for (const auto& [text, message] : cases) {
    const Result<UpdateManifest> manifest = parse_update_manifest(bytes_of(text));
    ASSERT_FALSE(manifest.ok()) << text;
    EXPECT_NE(narrow(manifest.error().message).find(message), std::string::npos)
        << text << " -> " << narrow(manifest.error().message);
    EXPECT_FALSE(manifest.error().message.starts_with(u"[json")) << text;
  }
  const std::string deep = std::string(200, '[') + std::string(200, ']');
  EXPECT_FALSE(parse_update_manifest(bytes_of(deep)).ok());
}

TEST(UpdateSignature, Sha256MatchesTheStandardVectors) {
  const std::vector<std::pair<std::string_view, std::string_view>> cases = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
  };
  for (const auto& [text, hex] : cases) {
    const std::optional<platform::Sha256Digest> digest = platform::sha256(bytes_of(text));
    ASSERT_TRUE(digest);
    std::string digits;
    for (std::uint8_t byte : *digest) {
      digits += "0123456789abcdef"[byte >> 4];
      digits += "0123456789abcdef"[byte & 15];
    }
    EXPECT_EQ(digits, hex);
  }
}

TEST(UpdateSignature, AcceptsOnlyTheSignedBytesAndKey) {
  const std::vector<std::uint8_t> manifest = manifest_of("v2.1");
  const std::vector<std::uint8_t> signature = signature_of("v2.1");
  ASSERT_EQ(signature.back(), '\n');  // the signing tool ends the file with a line break
  EXPECT_TRUE(verify_update_signature(manifest, signature, kTestPublicKey));
  EXPECT_FALSE(verify_update_signature(manifest, signature, kOtherPublicKey));
  EXPECT_FALSE(verify_update_signature(manifest, signature, kUpdatePublicKey));

  std::vector<std::uint8_t> one_more_space = manifest;
  one_more_space.insert(one_more_space.begin() + 1, ' ');
  EXPECT_FALSE(verify_update_signature(one_more_space, signature, kTestPublicKey));
  EXPECT_FALSE(verify_update_signature(manifest_of("v2.0.2"), signature, kTestPublicKey));

  std::string text(signature.begin(), signature.end());
  while (text.back() == '\n') text.pop_back();
  EXPECT_TRUE(verify_update_signature(manifest, bytes_of(text), kTestPublicKey));
  EXPECT_TRUE(verify_update_signature(manifest, bytes_of(" \t" + text + "\r\n\r\n"), kTestPublicKey));
  EXPECT_FALSE(verify_update_signature(
      manifest, bytes_of(text.substr(0, 40) + "\n" + text.substr(40)), kTestPublicKey));
  EXPECT_FALSE(verify_update_signature(manifest, bytes_of(text.substr(4)), kTestPublicKey));
  EXPECT_FALSE(verify_update_signature(manifest, bytes_of("\xEF\xBB\xBF" + text), kTestPublicKey));
  EXPECT_FALSE(verify_update_signature(manifest, bytes_of(""), kTestPublicKey));
  for (std::size_t at : {std::size_t{0}, std::size_t{42}, std::size_t{85}}) {
    std::string altered = text;
    altered[at] = altered[at] == 'A' ? 'B' : 'A';
    EXPECT_FALSE(verify_update_signature(manifest, bytes_of(altered), kTestPublicKey)) << at;
  }
}

TEST(UpdateSignature, RefusesKeysThatAreNotP256PublicKeys) {
  const std::vector<std::uint8_t> manifest = manifest_of("v2.1");
  const std::vector<std::uint8_t> signature = signature_of("v2.1");
  const std::u16string key = kTestPublicKey;
  ASSERT_EQ(key.size(), 124u);
  ASSERT_EQ(kUpdatePublicKey.size(), 124u);
  const std::vector<std::u16string> keys = {
      u"",
      key.substr(0, 120),
      key + u"AAAA",
      // One byte of the fixed header changed.
      [&] {
        std::u16string changed = key;
        changed[28] = changed[28] == u'c' ? u'd' : u'c';
        return changed;
      }(),
      // A point that is not on the curve.
      key.substr(0, 100) + u"AAAAAAAAAAAAAAAAAAAAAAAA",
  };
  for (const std::u16string& bad : keys) {
    EXPECT_FALSE(verify_update_signature(manifest, signature, bad)) << narrow(bad);
  }
  EXPECT_TRUE(verify_update_signature(manifest, signature, u"\r\n" + key + u" "));
}

TEST(UpdateCheck, OffersOnlyNewerValidVersions) {
  const std::vector<std::pair<std::string_view, bool>> cases = {
      {"v2.0.1", false}, {"v2.0", false},     {"v2.0.1.5", false}, {"v3", false},
      {"v2.1.0-beta", false}, {"v2.0.2", true}, {"v2.1", true},
  };
  for (const auto& [name, newer] : cases) {
    const UpdateCheckResult result = evaluate_fixture(name);
    EXPECT_EQ(result.outcome,
              newer ? UpdateCheckOutcome::Available : UpdateCheckOutcome::UpToDate)
        << name << ": " << narrow(result.message);
  }
}

TEST(UpdateCheck, ChoosesTheDownloadForTheArchitecture) {
  const UpdateCheckResult x64 = evaluate_fixture("v2.1", u"x64");
  ASSERT_EQ(x64.outcome, UpdateCheckOutcome::Available) << narrow(x64.message);
  EXPECT_EQ(x64.version, u"2.1");
  EXPECT_EQ(x64.released, u"2026-12-01");
  EXPECT_EQ(x64.notes, u"Faster search.");
  EXPECT_EQ(x64.download.url, u"https://downloads.wrenfold.example/wrenfold-2.x-x64.exe");
  std::u16string digest;
  for (int i = 0; i < 32; ++i) digest += u"ab";
  EXPECT_EQ(x64.download.sha256, digest);
  EXPECT_EQ(x64.download.size, 4'200'003u);

  const UpdateCheckResult arm64 = evaluate_fixture("v2.1", u"arm64");
  ASSERT_EQ(arm64.outcome, UpdateCheckOutcome::Available);
  EXPECT_EQ(arm64.download.url, u"https://downloads.wrenfold.example/wrenfold-2.x-arm64.exe");
  EXPECT_EQ(arm64.download.size, 4'200'005u);

  const UpdateCheckResult array = evaluate_fixture("array-form");
  ASSERT_EQ(array.outcome, UpdateCheckOutcome::Available);
  EXPECT_EQ(array.version, u"2.2");
  EXPECT_EQ(array.released, u"");
  EXPECT_EQ(array.notes, u"Notes.");

  EXPECT_EQ(evaluate_fixture("local-http").outcome, UpdateCheckOutcome::Available);
  EXPECT_EQ(update_architecture_key(), platform::machine_is_arm64() ? u"arm64" : u"x64");
}

TEST(UpdateCheck, ExplainsEveryFailure) {
  const std::vector<std::tuple<std::string_view, std::u16string_view, std::u16string_view>> cases = {
      {"x64-only", u"arm64", u"Version 2.1 has no download for arm64."},
      {"http-elsewhere", u"x64", u"Version 2.1 has no download for x64."},
      {"duplicate", u"x64", u"Couldn't check for updates: member \"version\" is given twice"},
  };
  for (const auto& [name, architecture, message] : cases) {
    const UpdateCheckResult result = evaluate_fixture(name, architecture);
    EXPECT_EQ(result.outcome, UpdateCheckOutcome::Failed) << name;
    EXPECT_EQ(result.message, message) << name;
  }
  const UpdateCheckResult not_json = evaluate_fixture("not-json");
  EXPECT_EQ(not_json.outcome, UpdateCheckOutcome::Failed);
  EXPECT_TRUE(not_json.message.starts_with(u"Couldn't check for updates: parse error at line 1"))
      << narrow(not_json.message);

  // Signed by another key: refused before the manifest is even read.
  for (std::string_view name : {"v2.1", "not-json"}) {
    const UpdateCheckResult result =
        evaluate_update(manifest_of(name), signature_of(name), kOtherPublicKey, u"x64");
    EXPECT_EQ(result.outcome, UpdateCheckOutcome::Failed);
    EXPECT_EQ(result.message, kUpdateNotSignedMessage) << name;
  }
}

TEST(UpdateSchedule, ChecksAtMostOnceADay) {
  const std::int64_t now = *parse_rfc3339(u"2026-12-07T12:00:00Z");
  const std::vector<std::pair<std::optional<std::u16string>, bool>> cases = {
      {std::nullopt, true},
      {u"", true},
      {u"yesterday", true},
      {u"2026-12-06T13:00:00+00:00", false},  // 23 hours ago
      {u"2026-12-06T12:00:01+00:00", false},
      {u"2026-12-06T12:00:00+00:00", true},   // 24 hours ago
      {u"2026-12-01T12:00:00Z", true},
      {u"2026-12-07T14:00:00+02:00", false},  // noon UTC: just now
      {u"2026-12-07T10:00:00+02:00", false},  // eight o'clock UTC
      {u"2026-12-06T14:00:00+02:00", true},   // exactly a day in UTC
      {u"2026-12-07T12:00:01Z", true},        // in the future
      {u"2027-01-01T00:00:00Z", true},
      {u"2026-02-30T12:00:00Z", true},        // no such day
  };
  for (const auto& [last, due] : cases) {
    EXPECT_EQ(update_check_due(last, now), due) << (last ? narrow(*last) : "absent");
  }
}

}  // namespace
}  // namespace wrenfold
