// The application icon of the built program: its group and both images.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>
#include <stdexcept>

#include "res/resource.h"
#include "tests/res/program.h"

namespace osprel_test {
namespace {

#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE width, height, colourCount, reserved;
  WORD planes, bitCount;
  DWORD bytesInRes;
  WORD id;
};
#pragma pack(pop)

std::vector<std::uint8_t> GroupBytes() {
  return ResourceBytes(MAKEINTRESOURCEA(IDI_APP), RT_GROUP_ICON);
}

std::vector<GroupIconEntry> GroupEntries() {
  std::vector<std::uint8_t> bytes = GroupBytes();
  if (bytes.size() < 6) throw std::runtime_error("no group icon IDI_APP");
  WORD header[3];
  std::memcpy(header, bytes.data(), sizeof header);
  if (header[0] != 0 || header[1] != 1) throw std::runtime_error("IDI_APP is not an icon group");
  if (bytes.size() < 6 + header[2] * sizeof(GroupIconEntry)) throw std::runtime_error("icon group ends early");
  std::vector<GroupIconEntry> entries(header[2]);
  std::memcpy(entries.data(), bytes.data() + 6, entries.size() * sizeof(GroupIconEntry));
  return entries;
}

// The standard 16-colour palette as a DIB stores it: blue, green, red, 0.
constexpr std::uint8_t kStandardPalette[16][4] = {
    {0x00, 0x00, 0x00, 0}, {0x00, 0x00, 0x80, 0}, {0x00, 0x80, 0x00, 0}, {0x00, 0x80, 0x80, 0},
    {0x80, 0x00, 0x00, 0}, {0x80, 0x00, 0x80, 0}, {0x80, 0x80, 0x00, 0}, {0xC0, 0xC0, 0xC0, 0},
    {0x80, 0x80, 0x80, 0}, {0x00, 0x00, 0xFF, 0}, {0x00, 0xFF, 0x00, 0}, {0x00, 0xFF, 0xFF, 0},
    {0xFF, 0x00, 0x00, 0}, {0xFF, 0x00, 0xFF, 0}, {0xFF, 0xFF, 0x00, 0}, {0xFF, 0xFF, 0xFF, 0},
};

constexpr std::size_t RowBytes(int width, int bits) { return (static_cast<std::size_t>(width) * bits + 31) / 32 * 4; }

// How many pixels of a square image the AND mask leaves transparent.
int TransparentPixels(const std::uint8_t* mask, int size) {
  int count = 0;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) count += mask[y * RowBytes(size, 1) + x / 8] >> (7 - x % 8) & 1;
  return count;
}

class IconImage : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    for (const GroupIconEntry& entry : GroupEntries())
      if (entry.width == GetParam()) entry_ = entry;
    ASSERT_EQ(entry_.width, GetParam()) << "no " << GetParam() << "-pixel image in IDI_APP";
    image_ = ResourceBytes(MAKEINTRESOURCEA(entry_.id), RT_ICON);
    ASSERT_GE(image_.size(), sizeof(BITMAPINFOHEADER) + sizeof kStandardPalette);
    std::memcpy(&header_, image_.data(), sizeof header_);
  }

  int size() const { return GetParam(); }
  const std::uint8_t* palette() const { return image_.data() + sizeof header_; }
  const std::uint8_t* mask() const { return palette() + sizeof kStandardPalette + RowBytes(size(), 4) * size(); }

  GroupIconEntry entry_ = {};
  std::vector<std::uint8_t> image_;
  BITMAPINFOHEADER header_ = {};
};

TEST_P(IconImage, GroupEntryDescribesA16ColourImage) {
  EXPECT_EQ(entry_.height, size());
  EXPECT_EQ(entry_.colourCount, 16);
  EXPECT_EQ(entry_.planes, 1);
  EXPECT_EQ(entry_.bitCount, 4);
  EXPECT_EQ(entry_.bytesInRes, image_.size());
}

TEST_P(IconImage, IsA4BitBitmapWithTheStandardPaletteAndAMask) {
  EXPECT_EQ(header_.biSize, sizeof header_);
  EXPECT_EQ(header_.biWidth, size());
  EXPECT_EQ(header_.biHeight, 2 * size()) << "colour image and mask";
  EXPECT_EQ(header_.biBitCount, 4);
  EXPECT_EQ(header_.biCompression, DWORD{BI_RGB});
  EXPECT_EQ(std::memcmp(palette(), kStandardPalette, sizeof kStandardPalette), 0);
  std::size_t pixels = (RowBytes(size(), 4) + RowBytes(size(), 1)) * size();
  EXPECT_EQ(image_.size(), sizeof header_ + sizeof kStandardPalette + pixels);
}

TEST_P(IconImage, ShowsAPictureOnATransparentGround) {
  ASSERT_EQ(image_.size(), std::size_t(mask() - image_.data()) + RowBytes(size(), 1) * size());
  int transparent = TransparentPixels(mask(), size());
  EXPECT_GT(transparent, 0);
  EXPECT_GT(size() * size() - transparent, size() * size() / 2) << "the picture fills less than half";
}

TEST_P(IconImage, IsAcceptedAndChosenBySystemForItsSize) {
  std::vector<std::uint8_t> group = GroupBytes();
  EXPECT_EQ(LookupIconIdFromDirectoryEx(group.data(), TRUE, size(), size(), LR_DEFAULTCOLOR), entry_.id);
  HICON icon = CreateIconFromResourceEx(image_.data(), static_cast<DWORD>(image_.size()), TRUE, 0x00030000,
                                        size(), size(), LR_DEFAULTCOLOR);
  EXPECT_NE(icon, nullptr);
  if (icon) DestroyIcon(icon);
}

INSTANTIATE_TEST_SUITE_P(BothSizes, IconImage, ::testing::Values(32, 16),
                         [](const auto& info) { return std::to_string(info.param) + "px"; });

TEST(IconGroup, HoldsExactlyTheTwoSizes) {
  std::multiset<int> sizes;
  for (const GroupIconEntry& entry : GroupEntries()) sizes.insert(entry.width);
  EXPECT_EQ(sizes, (std::multiset<int>{16, 32}));
}

}  // namespace
}  // namespace osprel_test
