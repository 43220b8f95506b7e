// The two dialog templates as the built program carries them.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "res/resource.h"
#include "tests/res/dialog_template.h"
#include "tests/res/program.h"

namespace osprel_test {
namespace {

constexpr unsigned kButtonAtom = 0x80;
constexpr unsigned kStaticAtom = 0x82;
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kPlainStatic = kChild | WS_GROUP | SS_LEFT;

DialogTemplate Dialog(int id) {
  std::vector<std::uint8_t> bytes = ResourceBytes(MAKEINTRESOURCEA(id), RT_DIALOG);
  if (bytes.empty()) throw std::runtime_error("no dialog template " + std::to_string(id));
  return ParseDialogTemplate(bytes);
}

std::string VersionString(const char* key) {
  std::string path = ProgramPath();
  std::vector<char> block(GetFileVersionInfoSizeA(path.c_str(), nullptr));
  if (block.empty() || !GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()))
    return {};
  char* value = nullptr;
  UINT length = 0;
  std::string query = std::string("\\StringFileInfo\\040904b0\\") + key;
  if (!VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) return {};
  const std::string text(value, length);
  return text.substr(0, text.find('\0'));
}

struct Expected {
  unsigned classAtom;
  int id;
  std::string text;
  int x, y, cx, cy;
  DWORD style;
};

// Where a dialog or a control lies, in dialog units.
template <class Item>
void ExpectPlace(const Item& item, int x, int y, int cx, int cy) {
  EXPECT_EQ((std::vector<int>{item.x, item.y, item.cx, item.cy}), (std::vector<int>{x, y, cx, cy}));
}

// What both templates share: no menu or class of their own, 8-point MS Sans Serif.
void ExpectPlainDialogInMSSansSerif(const DialogTemplate& dialog) {
  EXPECT_TRUE(dialog.menu.absent());
  EXPECT_TRUE(dialog.windowClass.absent());
  EXPECT_EQ(dialog.pointSize, 8u);
  EXPECT_EQ(dialog.face, "MS Sans Serif");
}

void ExpectControl(const DialogControl& actual, const Expected& expected) {
  SCOPED_TRACE("control \"" + expected.text + "\"");
  EXPECT_EQ(actual.windowClass.ordinal, expected.classAtom);
  EXPECT_EQ(actual.id, expected.id);
  EXPECT_EQ(actual.text.name, expected.text);
  EXPECT_EQ(actual.text.ordinal, 0u);
  ExpectPlace(actual, expected.x, expected.y, expected.cx, expected.cy);
  EXPECT_EQ(actual.style, expected.style);
  EXPECT_EQ(actual.exStyle, 0u);
}

// The main dialog's rows, top down: label, label width, value control, its
// placeholder text, value width.
struct MainRow {
  const char* label;
  int labelWidth;
  int valueId;
  const char* placeholder;
  int valueWidth;
};

constexpr MainRow kMainRows[] = {
    {"Windows NT Version", 68, IDC_VERSION, "Version", 116},
    {"Build Number", 43, IDC_BUILD, "Build", 116},
    {"Service Pack", 44, IDC_SERVICE_PACK, "Service Pack", 116},
    {"Plus Version Number", 66, IDC_PLUS_VERSION, "Plus Version", 116},
    {"Processor Type", 50, IDC_PROCESSOR_TYPE, "Uni", 116},
    {"Product Type", 44, IDC_PRODUCT_TYPE, "Product Type", 116},
    {"Registered Organisation", 76, IDC_REG_ORG, "Reg Org", 116},
    {"Registered Owner", 58, IDC_REG_OWNER, "Reg Owner", 116},
    {"Installation Date", 52, IDC_INSTALL_DATE, "Date", 114},
    {"Source Path", 40, IDC_SOURCE_PATH, "Source Path", 114},
    {"System Root", 41, IDC_SYSTEM_ROOT, "System Root", 116},
};
constexpr int kRowCount = sizeof kMainRows / sizeof kMainRows[0];
constexpr int kFirstRowTop = 7, kRowPitch = 10, kRowHeight = 8;
constexpr int kLabelLeft = 7, kValueLeft = 108;
constexpr int kLastRowTop = kFirstRowTop + (kRowCount - 1) * kRowPitch;
constexpr int kBottomLineTop = kLastRowTop + 17;

TEST(MainDialogTemplate, IsAnExtendedTemplateWithTheWindowsLook) {
  DialogTemplate dialog = Dialog(IDD_MAIN);
  EXPECT_TRUE(dialog.extended);
  EXPECT_EQ(dialog.style, DWORD{WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT});
  EXPECT_EQ(dialog.exStyle, DWORD{WS_EX_APPWINDOW});
  EXPECT_EQ(dialog.caption, "Osprel");
  ExpectPlainDialogInMSSansSerif(dialog);
  EXPECT_EQ(dialog.weight, unsigned{FW_NORMAL});
  EXPECT_EQ(dialog.italic, 0u);
  EXPECT_EQ(dialog.charset, unsigned{DEFAULT_CHARSET});
  ExpectPlace(dialog, 0, 0, 237, kBottomLineTop + 15);
}

TEST(MainDialogTemplate, HasALabelAndAValuePerRowTopDown) {
  DialogTemplate dialog = Dialog(IDD_MAIN);
  ASSERT_EQ(dialog.controls.size(), 2u * kRowCount + 1);
  for (int row = 0; row < kRowCount; ++row) {
    const MainRow& expected = kMainRows[row];
    int top = kFirstRowTop + row * kRowPitch;
    const std::size_t label = 2 * static_cast<std::size_t>(row);
    ExpectControl(dialog.controls[label], {kStaticAtom, IDC_STATIC, expected.label, kLabelLeft, top,
                                           expected.labelWidth, kRowHeight, kPlainStatic});
    ExpectControl(dialog.controls[label + 1], {kStaticAtom, expected.valueId, expected.placeholder,
                                               kValueLeft, top, expected.valueWidth, kRowHeight,
                                               kPlainStatic});
  }
}

TEST(MainDialogTemplate, EndsWithTheCopyrightAndWebAddressLine) {
  DialogTemplate dialog = Dialog(IDD_MAIN);
  ASSERT_FALSE(dialog.controls.empty());
  const DialogControl& line = dialog.controls.back();
  ExpectControl(line, {kStaticAtom, IDC_STATIC, line.text.name, kLabelLeft, kBottomLineTop, 191, kRowHeight,
                       kPlainStatic});
  EXPECT_NE(line.text.name.find(VersionString("LegalCopyright")), std::string::npos) << line.text.name;
  EXPECT_NE(line.text.name.find(VersionString("Comments")), std::string::npos) << line.text.name;
}

TEST(AboutBoxTemplate, IsAClassicTemplate) {
  DialogTemplate dialog = Dialog(IDD_ABOUT);
  EXPECT_FALSE(dialog.extended);
  EXPECT_EQ(dialog.style, DWORD{WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT});
  EXPECT_EQ(dialog.exStyle, 0u);
  EXPECT_EQ(dialog.caption, "About Osprel");
  ExpectPlainDialogInMSSansSerif(dialog);
  ExpectPlace(dialog, 0, 0, 239, 90);
}

TEST(AboutBoxTemplate, ShowsTheApplicationIconFirst) {
  DialogTemplate dialog = Dialog(IDD_ABOUT);
  ASSERT_FALSE(dialog.controls.empty());
  const DialogControl& icon = dialog.controls.front();
  EXPECT_EQ(icon.windowClass.ordinal, kStaticAtom);
  EXPECT_EQ(icon.id, IDC_STATIC);
  EXPECT_EQ(icon.text.ordinal, unsigned{IDI_APP});
  EXPECT_EQ(icon.style, kChild | SS_ICON);
  EXPECT_EQ(icon.exStyle, 0u);
  ExpectPlace(icon, 11, 17, 20, 20);
}

TEST(AboutBoxTemplate, HasItsTextsAndButtonInOrder) {
  DialogTemplate dialog = Dialog(IDD_ABOUT);
  ASSERT_EQ(dialog.controls.size(), 8u);
  const std::vector<Expected> texts = {
      {kStaticAtom, IDC_STATIC, "Osprel Version 1.5", 40, 10, 119, 8, kChild | WS_GROUP | SS_NOPREFIX},
      {kStaticAtom, IDC_STATIC, VersionString("LegalCopyright"), 39, 20, 119, 8, kChild | WS_GROUP},
      {kButtonAtom, IDOK, "OK", 182, 7, 50, 14, kChild | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON},
      {kStaticAtom, IDC_STATIC, "Special thanks to to the following for their help and ideas:", 41, 57, 180, 8,
       kChild | WS_GROUP},
      {kStaticAtom, IDC_STATIC, dialog.controls[5].text.name, 67, 66, 154, 8, kChild | WS_GROUP},
      {kStaticAtom, IDC_STATIC, VersionString("Comments"), 39, 30, 84, 8, kChild | WS_GROUP},
      {kStaticAtom, IDC_STATIC, dialog.controls[7].text.name, 67, 75, 128, 8, kChild | WS_GROUP},
  };
  for (std::size_t i = 0; i < texts.size(); ++i) ExpectControl(dialog.controls[i + 1], texts[i]);
  EXPECT_NE(dialog.controls[5].text.name, "") << "first acknowledgement line";
  EXPECT_NE(dialog.controls[7].text.name, "") << "second acknowledgement line";
}

}  // namespace
}  // namespace osprel_test
