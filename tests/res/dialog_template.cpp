#include "tests/res/dialog_template.h"

#include <stdexcept>

namespace osprel_test {
namespace {

constexpr std::uint32_t kSetFont = 0x40;  // DS_SETFONT (DS_SHELLFONT includes it)

// Walks the template's little-endian fields. Offsets are counted from the
// start of the resource, which the loader places on a DWORD boundary.
class TemplateReader {
 public:
  explicit TemplateReader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}

  std::uint8_t Byte() { return Take(1)[0]; }
  std::uint16_t Word() {
    const std::uint8_t* p = Take(2);
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
  }
  std::uint32_t Dword() {
    std::uint32_t low = Word();
    return low | static_cast<std::uint32_t>(Word()) << 16;
  }
  int Short() { return static_cast<std::int16_t>(Word()); }

  // A zero-terminated UTF-16 text; anything outside ASCII becomes '?', so
  // that it can never compare equal to the ASCII texts the tests expect.
  std::string Text() {
    std::string text;
    for (std::uint16_t c = Word(); c != 0; c = Word()) text += c < 0x80 ? static_cast<char>(c) : '?';
    return text;
  }

  NameOrOrdinal NameOrOrd() {
    NameOrOrdinal field;
    std::uint16_t first = PeekWord();
    if (first == 0xFFFF) {
      Word();
      field.ordinal = Word();
    } else {
      field.name = Text();
    }
    return field;
  }

  void Skip(std::size_t count) { Take(count); }
  void AlignToDword() { Skip((4 - pos_ % 4) % 4); }

 private:
  std::uint16_t PeekWord() {
    std::size_t saved = pos_;
    std::uint16_t word = Word();
    pos_ = saved;
    return word;
  }

  const std::uint8_t* Take(std::size_t count) {
    if (bytes_.size() - pos_ < count) throw std::runtime_error("dialog template ends early");
    const std::uint8_t* p = bytes_.data() + pos_;
    pos_ += count;
    return p;
  }

  const std::vector<std::uint8_t>& bytes_;
  std::size_t pos_ = 0;
};

void ReadRectangle(TemplateReader& in, int& x, int& y, int& cx, int& cy) {
  x = in.Short();
  y = in.Short();
  cx = in.Short();
  cy = in.Short();
}

void ReadNamesAndFont(TemplateReader& in, DialogTemplate& dialog) {
  dialog.menu = in.NameOrOrd();
  dialog.windowClass = in.NameOrOrd();
  dialog.caption = in.Text();
  if ((dialog.style & kSetFont) == 0) return;
  dialog.pointSize = in.Word();
  if (dialog.extended) {
    dialog.weight = in.Word();
    dialog.italic = in.Byte();
    dialog.charset = in.Byte();
  }
  dialog.face = in.Text();
}

DialogControl ReadClassicControl(TemplateReader& in) {
  DialogControl control;
  control.style = in.Dword();
  control.exStyle = in.Dword();
  ReadRectangle(in, control.x, control.y, control.cx, control.cy);
  control.id = in.Short();
  control.windowClass = in.NameOrOrd();
  control.text = in.NameOrOrd();
  std::uint16_t creationData = in.Word();  // counts itself when not zero
  if (creationData > 2) in.Skip(creationData - 2u);
  return control;
}

DialogControl ReadExtendedControl(TemplateReader& in) {
  DialogControl control;
  in.Dword();  // help identifier
  control.exStyle = in.Dword();
  control.style = in.Dword();
  ReadRectangle(in, control.x, control.y, control.cx, control.cy);
  control.id = static_cast<std::int32_t>(in.Dword());
  control.windowClass = in.NameOrOrd();
  control.text = in.NameOrOrd();
  in.Skip(in.Word());
  return control;
}

bool IsExtended(const std::vector<std::uint8_t>& bytes) {
  return bytes.size() >= 4 && bytes[0] == 1 && bytes[1] == 0 && bytes[2] == 0xFF && bytes[3] == 0xFF;
}

}  // namespace

DialogTemplate ParseDialogTemplate(const std::vector<std::uint8_t>& bytes) {
  TemplateReader in(bytes);
  DialogTemplate dialog;
  dialog.extended = IsExtended(bytes);
  unsigned count = 0;
  if (dialog.extended) {
    in.Skip(4 + 4);  // version and signature, help identifier
    dialog.exStyle = in.Dword();
    dialog.style = in.Dword();
  } else {
    dialog.style = in.Dword();
    dialog.exStyle = in.Dword();
  }
  count = in.Word();
  ReadRectangle(in, dialog.x, dialog.y, dialog.cx, dialog.cy);
  ReadNamesAndFont(in, dialog);
  for (unsigned i = 0; i < count; ++i) {
    in.AlignToDword();
    dialog.controls.push_back(dialog.extended ? ReadExtendedControl(in) : ReadClassicControl(in));
  }
  return dialog;
}

}  // namespace osprel_test
