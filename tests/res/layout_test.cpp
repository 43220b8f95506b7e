// Both dialogs built for real from the program's templates (hidden), to see
// that every text fits its control in the font the dialog gets: a static that
// is too narrow wraps its text onto a second line that its height cuts off.
// Needs a display (scripts/with-display.sh) and a prefix with Wine's fonts.
#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/res/program.h"
#include "tests/support/display_scale.h"

namespace osprel_test {
namespace {

Window CreateOrFail(int id) {
  Window dialog = CreateHiddenFromTemplate(Program(), id);
  if (!dialog) ADD_FAILURE() << "cannot create dialog " << id << " (is there a display?)";
  return dialog;
}

TEST(DialogFont, IsWinesMSSansSerif) {
  Window dialog = CreateOrFail(IDD_MAIN);
  ASSERT_TRUE(dialog);
  HDC dc = GetDC(dialog.get());
  HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(dialog.get(), WM_GETFONT, 0, 0)));
  char face[LF_FACESIZE] = {};
  GetTextFaceA(dc, sizeof face, face);
  SelectObject(dc, previous);
  ReleaseDC(dialog.get(), dc);
  EXPECT_STREQ(face, "MS Sans Serif") << "the prefix lacks Wine's fonts (scripts/wine-prefix.sh copies them)";
}

class DialogTexts : public ::testing::TestWithParam<int> {};

TEST_P(DialogTexts, EachFitsItsControl) {
  Window dialog = CreateOrFail(GetParam());
  ASSERT_TRUE(dialog);
  int checked = 0;
  for (const Control& control : Controls(dialog.get())) {
    if (!ShowsText(control.window)) continue;
    EXPECT_TRUE(Fits(control.window)) << '"' << control.text << "\" needs " << OneLineTextWidth(control.window);
    ++checked;
  }
  EXPECT_GE(checked, 7);
}

INSTANTIATE_TEST_SUITE_P(BothDialogs, DialogTexts, ::testing::Values(IDD_MAIN, IDD_ABOUT),
                         [](const auto& info) { return info.param == IDD_MAIN ? "Main" : "About"; });

// The widest texts the program puts into value controls, in place of the
// placeholders.
struct WidestValue {
  int id;
  const char* text;
};

TEST(MainDialogValues, WidestTextsFit) {
  Window dialog = CreateOrFail(IDD_MAIN);
  ASSERT_TRUE(dialog);
  const WidestValue cases[] = {
      {IDC_PRODUCT_TYPE, "Windows Terminal Server Edition"},
      {IDC_INSTALL_DATE, "30 September 2026, 23:59:59"},
      {IDC_BUILD, "22631.4294967295"},  // a five-digit build, the largest revision
      {IDC_SERVICE_PACK, "Version 22H2"},
  };
  for (const WidestValue& value : cases) {
    HWND control = GetDlgItem(dialog.get(), value.id);
    ASSERT_NE(control, nullptr) << value.id;
    SetWindowTextA(control, value.text);
    EXPECT_TRUE(Fits(control)) << value.text << " needs " << OneLineTextWidth(control);
  }
}

}  // namespace
}  // namespace osprel_test
