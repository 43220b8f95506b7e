// The string table, the version block and the manifest of the built program.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <string_view>

#include "res/resource.h"
#include "tests/res/program.h"

namespace osprel_test {
namespace {

// The ids of the non-empty strings in one string-table block: 16 counted
// UTF-16 strings, the block numbered one above the ids' upper bits.
void CollectStringIds(unsigned block, const std::vector<std::uint8_t>& bytes, std::set<unsigned>& ids) {
  std::size_t pos = 0;
  for (unsigned slot = 0; slot < 16 && pos + 2 <= bytes.size(); ++slot) {
    unsigned length = bytes[pos] | bytes[pos + 1] << 8;
    if (length != 0) ids.insert((block - 1) * 16 + slot);
    pos += 2 + 2 * std::size_t{length};
  }
}

BOOL CALLBACK AddBlock(HMODULE, LPCSTR, LPSTR name, LONG_PTR blocks) {
  if (IS_INTRESOURCE(name)) reinterpret_cast<std::set<unsigned>*>(blocks)->insert(LOWORD(name));
  return TRUE;
}

std::set<unsigned> StringIds() {
  std::set<unsigned> blocks, ids;
  EnumResourceNamesA(Program(), RT_STRING, AddBlock, reinterpret_cast<LONG_PTR>(&blocks));
  for (unsigned block : blocks)
    CollectStringIds(block, ResourceBytes(MAKEINTRESOURCEA(block), RT_STRING), ids);
  return ids;
}

TEST(StringTable, HoldsOnlyTheAboutEntry) {
  char text[64] = {};
  EXPECT_EQ(LoadStringA(Program(), IDS_ABOUT_ITEM, text, sizeof text), 16);
  EXPECT_STREQ(text, "&About Osprel...");
  EXPECT_EQ(StringIds(), std::set<unsigned>{IDS_ABOUT_ITEM});
}

class VersionBlock : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string path = ProgramPath();
    block_.assign(GetFileVersionInfoSizeA(path.c_str(), nullptr), 0);
    ASSERT_FALSE(block_.empty()) << "no version block in " << path;
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(block_.size()), block_.data()));
  }

  // Fails the test when the block lacks the entry.
  static std::string_view Query(const std::string& path) {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block_.data(), path.c_str(), &value, &length)) {
      ADD_FAILURE() << "no " << path;
      return {};
    }
    return {static_cast<const char*>(value), length};
  }

  static std::string String(const char* key) {
    const std::string_view value = Query(std::string("\\StringFileInfo\\040904b0\\") + key);
    return std::string(value.substr(0, value.find('\0')));
  }

  static std::vector<char> block_;
};
std::vector<char> VersionBlock::block_;

TEST_F(VersionBlock, FixedPartIsVersion150ForAWindowsApplication) {
  std::string_view raw = Query("\\");
  ASSERT_EQ(raw.size(), sizeof(VS_FIXEDFILEINFO));
  VS_FIXEDFILEINFO fixed;
  std::memcpy(&fixed, raw.data(), sizeof fixed);
  EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed.dwFileVersionMS, 0x00010005u);
  EXPECT_EQ(fixed.dwFileVersionLS, 0u);
  EXPECT_EQ(fixed.dwProductVersionMS, 0x00010005u);
  EXPECT_EQ(fixed.dwProductVersionLS, 0u);
  EXPECT_EQ(fixed.dwFileFlagsMask, 0x3Fu);
  EXPECT_EQ(fixed.dwFileFlags, 0u);
  EXPECT_EQ(fixed.dwFileOS, DWORD{VOS__WINDOWS32});
  EXPECT_EQ(fixed.dwFileType, DWORD{VFT_APP});
  EXPECT_EQ(fixed.dwFileSubtype, 0u);
}

TEST_F(VersionBlock, HasOneTranslationUSEnglishUnicode) {
  std::string_view raw = Query("\\VarFileInfo\\Translation");
  ASSERT_EQ(raw.size(), 4u);
  WORD pair[2];
  std::memcpy(pair, raw.data(), sizeof pair);
  EXPECT_EQ(pair[0], 0x0409);
  EXPECT_EQ(pair[1], 0x04B0);
}

struct VersionString {
  const char* key;
  const char* value;
};

TEST_F(VersionBlock, FixedStringsReadAsGiven) {
  const VersionString cases[] = {
      {"FileDescription", "Osprel Utility"},  {"FileVersion", "1, 5, 0, 0"},
      {"InternalName", "Osprel"},             {"OriginalFilename", "Osprel.EXE"},
      {"ProductName", "Osprel Application"},  {"ProductVersion", "1, 5, 0, 0"},
      {"PrivateBuild", ""},                   {"SpecialBuild", ""},
  };
  for (const VersionString& expected : cases) EXPECT_EQ(String(expected.key), expected.value) << expected.key;
}

TEST_F(VersionBlock, MakersStringsAreFilledIn) {
  for (const char* key : {"Comments", "CompanyName", "LegalCopyright", "LegalTrademarks"})
    EXPECT_NE(String(key), "") << key;
}

std::string Manifest() {
  std::vector<std::uint8_t> bytes = ResourceBytes(MAKEINTRESOURCEA(1), RT_MANIFEST);
  return {bytes.begin(), bytes.end()};
}

// The text of the first element named `name`, whatever its namespace prefix.
std::string ElementText(const std::string& xml, const std::string& name) {
  std::size_t start = xml.find("<" + name);
  if (start == std::string::npos || (start = xml.find('>', start)) == std::string::npos) return {};
  std::size_t end = xml.find('<', start);
  return end == std::string::npos ? std::string() : xml.substr(start + 1, end - start - 1);
}

std::string Attribute(const std::string& xml, const std::string& element, const std::string& name) {
  std::size_t start = xml.find("<" + element);
  std::size_t close = xml.find('>', start);
  std::size_t at = xml.find(" " + name + "=\"", start);
  if (start == std::string::npos || at == std::string::npos || at > close) return {};
  at += name.size() + 3;
  return xml.substr(at, xml.find('"', at) - at);
}

// Labels are fitted once, when a dialog opens: the program is aware of the
// system's scale only, so that on a monitor at another scale Windows
// stretches the window as drawn instead of rescaling it and cutting a label.
// The ANSI functions carry UTF-8 where Windows honours activeCodePage.
TEST(Manifest, AsksForNoElevationSystemScaleAndUtf8) {
  std::string xml = Manifest();
  ASSERT_FALSE(xml.empty()) << "no manifest resource 1";
  EXPECT_EQ(Attribute(xml, "requestedExecutionLevel", "level"), "asInvoker");
  EXPECT_EQ(Attribute(xml, "requestedExecutionLevel", "uiAccess"), "false");
  EXPECT_EQ(ElementText(xml, "dpiAware "), "true");
  EXPECT_EQ(Attribute(xml, "dpiAware ", "xmlns"), "http://schemas.microsoft.com/SMI/2005/WindowsSettings");
  EXPECT_EQ(xml.find("<dpiAwareness"), std::string::npos) << "it would override dpiAware on Windows 10";
  EXPECT_EQ(xml.find("PerMonitor"), std::string::npos);
  EXPECT_EQ(ElementText(xml, "activeCodePage"), "UTF-8");
  EXPECT_EQ(Attribute(xml, "activeCodePage", "xmlns"), "http://schemas.microsoft.com/SMI/2019/WindowsSettings");
  const std::size_t settings = xml.find("<windowsSettings>"), end = xml.find("</windowsSettings>");
  const std::size_t codePage = xml.find("<activeCodePage");
  EXPECT_TRUE(settings < codePage && codePage < end) << "activeCodePage counts only inside windowsSettings";
}

TEST(Manifest, IsAcceptedAsTheProgramsActivationContext) {
  std::string path = ProgramPath();
  ACTCTXA context = {};
  context.cbSize = sizeof context;
  context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  context.lpSource = path.c_str();
  context.lpResourceName = MAKEINTRESOURCEA(1);
  HANDLE handle = CreateActCtxA(&context);
  EXPECT_NE(handle, INVALID_HANDLE_VALUE) << "error " << GetLastError();
  if (handle != INVALID_HANDLE_VALUE) ReleaseActCtx(handle);
}

}  // namespace
}  // namespace osprel_test
