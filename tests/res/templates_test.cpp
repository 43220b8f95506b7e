// The two dialog templates as the built program carries them.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
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

// What a control is, without where it lies.
struct Expected {
  unsigned classAtom;
  int id;
  std::string text;
  DWORD style;
};

// Where controls lie, in dialog units.
int Right(const DialogControl& c) { return c.x + c.cx; }
int Bottom(const DialogControl& c) { return c.y + c.cy; }
bool Overlap(const DialogControl& a, const DialogControl& b) {
  return a.x < Right(b) && b.x < Right(a) && a.y < Bottom(b) && b.y < Bottom(a);
}

// What both templates share: placed at 0, 0, which has the dialog centre it
// when it opens; no menu or class of their own; 8-point MS Sans Serif.
void ExpectPlainCentredDialogInMSSansSerif(const DialogTemplate& dialog) {
  EXPECT_EQ(dialog.x, 0);
  EXPECT_EQ(dialog.y, 0);
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
  EXPECT_EQ(actual.style, expected.style);
  EXPECT_EQ(actual.exStyle, 0u);
}

// No two controls share a unit of the dialog.
void ExpectNoOverlap(const DialogTemplate& dialog) {
  for (std::size_t i = 0; i < dialog.controls.size(); ++i)
    for (std::size_t j = i + 1; j < dialog.controls.size(); ++j)
      EXPECT_FALSE(Overlap(dialog.controls[i], dialog.controls[j]))
          << '"' << dialog.controls[i].text.name << "\" over \"" << dialog.controls[j].text.name << '"';
}

// The main dialog's rows in the order the user reads them, top down: the
// label, the value control beside it and the text that control holds until
// the dialog fills it.
struct MainRow {
  const char* label;
  int valueId;
  const char* placeholder;
};

constexpr MainRow kMainRows[] = {
    {"Windows NT Version", IDC_VERSION, "Version"},
    {"Build Number", IDC_BUILD, "Build"},
    {"Service Pack", IDC_SERVICE_PACK, "Service Pack"},
    {"Plus Version Number", IDC_PLUS_VERSION, "Plus Version"},
    {"Processor Type", IDC_PROCESSOR_TYPE, "Uni"},
    {"Product Type", IDC_PRODUCT_TYPE, "Product Type"},
    {"Registered Organisation", IDC_REG_ORG, "Reg Org"},
    {"Registered Owner", IDC_REG_OWNER, "Reg Owner"},
    {"Installation Date", IDC_INSTALL_DATE, "Date"},
    {"Source Path", IDC_SOURCE_PATH, "Source Path"},
    {"System Root", IDC_SYSTEM_ROOT, "System Root"},
};
constexpr std::size_t kRowCount = std::size(kMainRows);

TEST(MainDialogTemplate, IsAnExtendedTemplateWithTheWindowsLook) {
  DialogTemplate dialog = Dialog(IDD_MAIN);
  EXPECT_TRUE(dialog.extended);
  EXPECT_EQ(dialog.style, DWORD{WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT});
  EXPECT_EQ(dialog.exStyle, DWORD{WS_EX_APPWINDOW});
  EXPECT_EQ(dialog.caption, "Osprel");
  ExpectPlainCentredDialogInMSSansSerif(dialog);
  EXPECT_EQ(dialog.weight, unsigned{FW_NORMAL});
  EXPECT_EQ(dialog.italic, 0u);
  EXPECT_EQ(dialog.charset, unsigned{DEFAULT_CHARSET});
}

// Each value follows its label in the template (the copy to the clipboard
// pairs them so), on the label's line, in a column of its own; the rows are
// evenly spaced, in reading order.
TEST(MainDialogTemplate, ShowsEachRowOnOneLineInReadingOrder) {
  DialogTemplate dialog = Dialog(IDD_MAIN);
  ASSERT_EQ(dialog.controls.size(), 2 * kRowCount + 1);
  const DialogControl& firstLabel = dialog.controls[0];
  const DialogControl& firstValue = dialog.controls[1];
  const int pitch = dialog.controls[2].y - firstLabel.y;
  EXPECT_GT(pitch, firstLabel.cy) << "rows apart";
  for (std::size_t row = 0; row < kRowCount; ++row) {
    SCOPED_TRACE(kMainRows[row].label);
    const DialogControl& label = dialog.controls[2 * row];
    const DialogControl& value = dialog.controls[2 * row + 1];
    ExpectControl(label, {kStaticAtom, IDC_STATIC, kMainRows[row].label, kPlainStatic});
    ExpectControl(value, {kStaticAtom, kMainRows[row].valueId, kMainRows[row].placeholder, kPlainStatic});
    EXPECT_EQ(label.y, firstLabel.y + static_cast<int>(row) * pitch) << "evenly spaced, top down";
    EXPECT_EQ(label.cy, firstLabel.cy) << "one line, as every row";
    EXPECT_EQ(value.y, label.y) << "on its label's line";
    EXPECT_EQ(value.cy, label.cy) << "on its label's line";
    EXPECT_EQ(label.x, firstLabel.x) << "labels in one column";
    EXPECT_EQ(value.x, firstValue.x) << "values in one column";
    EXPECT_LT(Right(label), value.x) << "the label clear of the values";
  }
}

// The rows and the bottom line lie inside the dialog, as far from its left,
// top and bottom edges as the labels from its left, and the values use the
// room their lines have up to the right margin.
TEST(MainDialogTemplate, RowsAndBottomLineFitTheDialogWithEvenMargins) {
  DialogTemplate dialog = Dialog(IDD_MAIN);
  ASSERT_EQ(dialog.controls.size(), 2 * kRowCount + 1);
  const int margin = dialog.controls[0].x;
  EXPECT_GT(margin, 0);
  EXPECT_EQ(dialog.controls[0].y, margin) << "top margin";
  int widest = 0;
  for (std::size_t row = 0; row < kRowCount; ++row) widest = std::max(widest, Right(dialog.controls[2 * row + 1]));
  EXPECT_LE(widest, dialog.cx - margin) << "right margin";
  EXPECT_GT(widest, dialog.cx - 2 * margin) << "room wasted on the right";
  for (std::size_t row = 0; row < kRowCount; ++row)
    EXPECT_GT(Right(dialog.controls[2 * row + 1]), widest - margin) << kMainRows[row].label << ": value short";

  const DialogControl& line = dialog.controls.back();
  const DialogControl& lastLabel = dialog.controls[2 * kRowCount - 2];
  const int pitch = dialog.controls[2].y - dialog.controls[0].y;
  EXPECT_EQ(line.x, margin);
  EXPECT_LE(Right(line), dialog.cx - margin);
  EXPECT_GT(line.y - lastLabel.y, pitch) << "set apart from the rows";
  EXPECT_LT(line.y - lastLabel.y, 2 * pitch) << "close to the rows";
  EXPECT_EQ(dialog.cy - Bottom(line), margin) << "bottom margin";
  ExpectNoOverlap(dialog);
}

TEST(MainDialogTemplate, EndsWithTheCopyrightAndWebAddressLine) {
  DialogTemplate dialog = Dialog(IDD_MAIN);
  ASSERT_FALSE(dialog.controls.empty());
  const DialogControl& line = dialog.controls.back();
  ExpectControl(line, {kStaticAtom, IDC_STATIC, line.text.name, kPlainStatic});
  EXPECT_EQ(line.cy, dialog.controls.front().cy) << "one line, as a row";
  EXPECT_NE(line.text.name.find(VersionString("LegalCopyright")), std::string::npos) << line.text.name;
  EXPECT_NE(line.text.name.find(VersionString("Comments")), std::string::npos) << line.text.name;
}

TEST(AboutBoxTemplate, IsAClassicTemplate) {
  DialogTemplate dialog = Dialog(IDD_ABOUT);
  EXPECT_FALSE(dialog.extended);
  EXPECT_EQ(dialog.style, DWORD{WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT});
  EXPECT_EQ(dialog.exStyle, 0u);
  EXPECT_EQ(dialog.caption, "About Osprel");
  ExpectPlainCentredDialogInMSSansSerif(dialog);
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
  for (std::size_t i = 1; i < dialog.controls.size(); ++i)
    EXPECT_LE(Right(icon), dialog.controls[i].x) << "left of \"" << dialog.controls[i].text.name << '"';
}

constexpr std::size_t kAboutTitle = 1, kAboutCopyright = 2, kAboutOk = 3, kAboutThanks = 4,
                      kAboutFirstThanks = 5, kAboutWebAddress = 6, kAboutSecondThanks = 7;

TEST(AboutBoxTemplate, HasItsTextsAndButtonInOrder) {
  DialogTemplate dialog = Dialog(IDD_ABOUT);
  ASSERT_EQ(dialog.controls.size(), 8u);
  const std::vector<Expected> texts = {
      {kStaticAtom, IDC_STATIC, "Osprel Version 1.5", kChild | WS_GROUP | SS_NOPREFIX},
      {kStaticAtom, IDC_STATIC, VersionString("LegalCopyright"), kChild | WS_GROUP},
      {kButtonAtom, IDOK, "OK", kChild | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON},
      {kStaticAtom, IDC_STATIC, "Special thanks to to the following for their help and ideas:", kChild | WS_GROUP},
      {kStaticAtom, IDC_STATIC, dialog.controls[kAboutFirstThanks].text.name, kChild | WS_GROUP},
      {kStaticAtom, IDC_STATIC, VersionString("Comments"), kChild | WS_GROUP},
      {kStaticAtom, IDC_STATIC, dialog.controls[kAboutSecondThanks].text.name, kChild | WS_GROUP},
  };
  for (std::size_t i = 0; i < texts.size(); ++i) ExpectControl(dialog.controls[i + 1], texts[i]);
  EXPECT_NE(dialog.controls[kAboutFirstThanks].text.name, "") << "first acknowledgement line";
  EXPECT_NE(dialog.controls[kAboutSecondThanks].text.name, "") << "second acknowledgement line";
}

// The texts read top down: the name and version, the copyright, the web
// address, the thanks and, indented below them, the acknowledgements; the OK
// button in the top right corner; nothing over anything else, and every
// control as far inside the top, right and bottom edges as the button.
TEST(AboutBoxTemplate, ReadsTopDownWithTheButtonInTheCorner) {
  DialogTemplate dialog = Dialog(IDD_ABOUT);
  ASSERT_EQ(dialog.controls.size(), 8u);
  const auto& c = dialog.controls;
  const std::size_t readingOrder[] = {kAboutTitle,  kAboutCopyright,   kAboutWebAddress,
                                      kAboutThanks, kAboutFirstThanks, kAboutSecondThanks};
  for (std::size_t i = 1; i < std::size(readingOrder); ++i)
    EXPECT_GE(c[readingOrder[i]].y, Bottom(c[readingOrder[i - 1]])) << '"' << c[readingOrder[i]].text.name << '"';
  EXPECT_GT(c[kAboutFirstThanks].x, c[kAboutThanks].x) << "indented";
  EXPECT_EQ(c[kAboutSecondThanks].x, c[kAboutFirstThanks].x) << "indented alike";

  const DialogControl& ok = c[kAboutOk];
  const int margin = ok.y;
  EXPECT_GT(margin, 0);
  EXPECT_EQ(dialog.cx - Right(ok), margin) << "the button's right margin";
  for (const DialogControl& control : c) {
    SCOPED_TRACE('"' + control.text.name + '"');
    EXPECT_GE(control.x, margin);
    EXPECT_GE(control.y, margin);
    EXPECT_LE(Right(control), dialog.cx - margin);
    EXPECT_LE(Bottom(control), dialog.cy - margin);
  }
  EXPECT_EQ(dialog.cy - Bottom(c[kAboutSecondThanks]), margin) << "bottom margin";
  ExpectNoOverlap(dialog);
}

}  // namespace
}  // namespace osprel_test
