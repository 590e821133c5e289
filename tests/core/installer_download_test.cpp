#include "installer_download.h"

#include <gtest/gtest.h>

namespace wrenfold {
namespace {

TEST(InstallerDownload, FileNameIsTheUrlsLastSegment) {
  EXPECT_EQ(installer_file_name(u"https://updates.wrenfold.example/2.1/Wrenfold-2.1.0-x64.exe"),
            u"Wrenfold-2.1.0-x64.exe");
  EXPECT_EQ(installer_file_name(u"https://updates.wrenfold.example/setup/"), u"setup") << "one trailing slash ignored";
  EXPECT_EQ(installer_file_name(u"https://updates.wrenfold.example//"), u"Wrenfold-Setup.exe");
  EXPECT_EQ(installer_file_name(u""), u"Wrenfold-Setup.exe");
  EXPECT_EQ(installer_file_name(u"https://host/a?b=c/d"), u"d") << "the rule looks at slashes only";
}

TEST(InstallerDownload, DigestsCompareAsHexInAnyCase) {
  const std::optional<platform::Sha256Digest> digest = platform::sha256({});
  ASSERT_TRUE(digest);
  const std::u16string hex = digest_hex(*digest);
  EXPECT_EQ(hex, u"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_TRUE(digest_matches(hex, u"E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855"));
  EXPECT_FALSE(digest_matches(hex, u"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b856"));
  EXPECT_FALSE(digest_matches(hex, hex.substr(0, 63)));
  EXPECT_FALSE(digest_matches(hex, u""));
}

}  // namespace
}  // namespace wrenfold
