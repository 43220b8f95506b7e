// Reads dialog templates (classic DLGTEMPLATE and extended DLGTEMPLATEEX) back
// from their binary form into plain values that tests can compare.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace osprel_test {

// A template field that is either a name or a 16-bit ordinal (or absent).
struct NameOrOrdinal {
  std::string name;
  unsigned ordinal = 0;  // non-zero when the field is an ordinal

  bool absent() const { return name.empty() && ordinal == 0; }
};

struct DialogControl {
  NameOrOrdinal windowClass;
  NameOrOrdinal text;
  int id = 0;
  std::uint32_t style = 0;
  std::uint32_t exStyle = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
};

struct DialogTemplate {
  bool extended = false;
  std::uint32_t style = 0;
  std::uint32_t exStyle = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  NameOrOrdinal menu;
  NameOrOrdinal windowClass;
  std::string caption;
  // Font fields; weight, italic and charset exist in extended templates only.
  unsigned pointSize = 0;
  unsigned weight = 0;
  unsigned italic = 0;
  unsigned charset = 0;
  std::string face;
  std::vector<DialogControl> controls;
};

// Throws std::runtime_error when the bytes end before the template does.
DialogTemplate ParseDialogTemplate(const std::vector<std::uint8_t>& bytes);

}  // namespace osprel_test
