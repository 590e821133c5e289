// What wrenfold.exe carries besides its code. Wine runs task dialogs even without the
// common-controls manifest, so the resources themselves are checked.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class ProgramResources : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExW(WRENFOLD_EXE_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr) << "cannot load " << GetLastError();
  }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
  }

  std::string resource(LPCWSTR type, LPCWSTR name) {
    HRSRC found = FindResourceW(module_, name, type);
    if (found == nullptr) return {};
    HGLOBAL loaded = LoadResource(module_, found);
    const char* data = static_cast<const char*>(LockResource(loaded));
    return std::string(data, SizeofResource(module_, found));
  }

  HMODULE module_ = nullptr;
};

TEST_F(ProgramResources, ManifestAsksForCommonControlsSixDpiAndLongPaths) {
  const std::string manifest = resource(RT_MANIFEST, MAKEINTRESOURCEW(1));
  ASSERT_FALSE(manifest.empty());
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
  EXPECT_NE(manifest.find(">PerMonitorV2<"), std::string::npos);
  EXPECT_NE(manifest.find("<longPathAware"), std::string::npos);
}

TEST_F(ProgramResources, IconHasEightSizes) {
  const std::string group = resource(RT_GROUP_ICON, MAKEINTRESOURCEW(1));
  ASSERT_GE(group.size(), 6u);
  const unsigned count = static_cast<unsigned char>(group[4]) | (static_cast<unsigned char>(group[5]) << 8);
  EXPECT_EQ(count, 8u);
  std::vector<unsigned> sizes;
  for (unsigned i = 0; i < count && 6 + i * 14 + 14 <= group.size(); ++i) {
    const unsigned width = static_cast<unsigned char>(group[6 + i * 14]);
    sizes.push_back(width == 0 ? 256 : width);
  }
  EXPECT_EQ(sizes, (std::vector<unsigned>{256, 128, 64, 48, 40, 32, 24, 16}));
}

TEST_F(ProgramResources, VersionIsTwoZeroOne) {
  const std::string version = resource(RT_VERSION, MAKEINTRESOURCEW(VS_VERSION_INFO));
  ASSERT_FALSE(version.empty());
  const std::u16string wide_key = u"VS_VERSION_INFO";
  const std::string key(reinterpret_cast<const char*>(wide_key.data()), wide_key.size() * 2);
  const std::size_t at = version.find(key);
  ASSERT_NE(at, std::string::npos);
  // The fixed file information follows the key, aligned to four bytes.
  std::size_t fixed = at + key.size() + 2;
  fixed = (fixed + 3) & ~std::size_t{3};
  VS_FIXEDFILEINFO info;
  ASSERT_LE(fixed + sizeof info, version.size());
  std::memcpy(&info, version.data() + fixed, sizeof info);
  EXPECT_EQ(info.dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(info.dwFileVersionMS, 0x00020000u);
  EXPECT_EQ(info.dwFileVersionLS, 0x00010000u);
}

}  // namespace
