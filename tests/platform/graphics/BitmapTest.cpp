#include "TestDirectory.h"
#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <QPainter>
#include <filesystem>
#include <fstream>
#include <optional>

#include "ruv/platform/Exception.h"
#include "ruv/platform/Graphics.h"

namespace ruv::graphics {
namespace {

void Put16(std::string& s, std::uint16_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>(v >> 8));
}
void Put32(std::string& s, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A bottom-up, uncompressed BMP. `rows` are top to bottom: for 24 bits, RGB colours
// written as blue, green, red; for 8 bits, palette indices.
// `declaredOffset` replaces the pixel-data offset written in the file header.
std::string MakeBmp(int bits, int width, const std::vector<std::vector<TColor>>& rows,
                    const std::vector<TColor>& palette = {}, std::optional<std::uint32_t> declaredOffset = {}) {
  const int height = static_cast<int>(rows.size());
  const int stride = ((width * bits + 31) / 32) * 4;
  const auto offset = static_cast<std::uint32_t>(14 + 40 + 4 * palette.size());
  std::string s = "BM";
  Put32(s, offset + static_cast<std::uint32_t>(stride * height));
  Put32(s, 0);
  Put32(s, declaredOffset.value_or(offset));
  Put32(s, 40);
  Put32(s, static_cast<std::uint32_t>(width));
  Put32(s, static_cast<std::uint32_t>(height));
  Put16(s, 1);
  Put16(s, static_cast<std::uint16_t>(bits));
  Put32(s, 0);  // uncompressed
  Put32(s, static_cast<std::uint32_t>(stride * height));
  Put32(s, 2835);
  Put32(s, 2835);
  Put32(s, static_cast<std::uint32_t>(palette.size()));
  Put32(s, 0);
  for (TColor c : palette) {
    s += {static_cast<char>(GetBValue(c)), static_cast<char>(GetGValue(c)), static_cast<char>(GetRValue(c)), 0};
  }
  for (int y = height - 1; y >= 0; --y) {
    std::string row;
    for (TColor v : rows[static_cast<std::size_t>(y)]) {
      if (bits == 24) {
        row += {static_cast<char>(GetBValue(v)), static_cast<char>(GetGValue(v)), static_cast<char>(GetRValue(v))};
      } else {
        row.push_back(static_cast<char>(v));
      }
    }
    row.resize(static_cast<std::size_t>(stride), '\0');
    s += row;
  }
  return s;
}

class BitmapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ruv::testing::FreshTestDirectory("ruv_bitmap");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Write(const char* name, const std::string& bytes) const {
    const auto path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  static TColor PixelAt(const TBitmap& b, int x, int y) {
    const QRgb p = b.Image().pixel(x, y);
    return RGB(static_cast<std::uint8_t>(qRed(p)), static_cast<std::uint8_t>(qGreen(p)),
               static_cast<std::uint8_t>(qBlue(p)));
  }
  std::filesystem::path dir_;
};

TEST_F(BitmapTest, LoadsTrueColourAndPaletteBitmaps) {
  const std::vector<std::vector<TColor>> colours = {{clRed, clLime, clBlue}, {clWhite, clBlack, RGB(1, 2, 3)}};
  const std::vector<TColor> palette = {clNavy, clYellow, clTeal, clMaroon};
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<std::vector<TColor>> expected;
  } cases[] = {
      {"true.bmp", MakeBmp(24, 3, colours), colours},
      {"palette.bmp", MakeBmp(8, 3, {{0, 1, 2}, {3, 3, 0}}, palette),
       {{clNavy, clYellow, clTeal}, {clMaroon, clMaroon, clNavy}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TBitmap bitmap;
    EXPECT_TRUE(bitmap.Empty());
    bitmap.LoadFromFile(Write(c.name, c.bytes));
    ASSERT_EQ(bitmap.Width(), 3);
    ASSERT_EQ(bitmap.Height(), 2);
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 3; ++x) EXPECT_EQ(PixelAt(bitmap, x, y), c.expected[y][x]) << x << "," << y;
    }
  }
}

TEST_F(BitmapTest, OtherFormatsAndDamagedFilesAreRefused) {
  QImage png(4, 4, QImage::Format_RGB32);
  png.fill(Qt::red);
  const auto pngPath = (dir_ / "icon.bmp").string();  // the name does not decide the format
  ASSERT_TRUE(png.save(QString::fromStdString(pngPath), "PNG"));
  const std::string good = MakeBmp(24, 3, {{clRed, clRed, clRed}, {clRed, clRed, clRed}});
  std::string badHeader = good;
  badHeader[14] = 7;  // an unknown information-header size
  std::string huge = good;
  for (std::size_t at : {18u, 19u, 20u, 22u, 23u, 24u}) huge[at] = '\x7F';
  const std::string refused[] = {
      pngPath,
      Write("icon.ico", std::string("\0\0\1\0\1\0\20\20", 8) + std::string(64, '\0')),
      Write("garbage.bmp", "this is no picture at all"),
      Write("empty.bmp", ""),
      Write("bm.bmp", "BM"),
      Write("header.bmp", badHeader),
      Write("short-header.bmp", good.substr(0, 30)),
      Write("huge.bmp", huge),
      Write("short-pixels.bmp", MakeBmp(24, 200, std::vector<std::vector<TColor>>(200, std::vector<TColor>(200, clRed)))
                                    .substr(0, 2000)),
  };
  TBitmap bitmap;
  bitmap.LoadFromFile(Write("good.bmp", good));
  for (const auto& path : refused) {
    EXPECT_THROW(bitmap.LoadFromFile(path), EInvalidGraphic) << path;
    EXPECT_EQ(bitmap.Width(), 3) << "a failed load keeps the picture";
  }
  try {
    bitmap.LoadFromFile(pngPath);
  } catch (const EInvalidGraphic& e) {
    EXPECT_NE(e.Message().find(pngPath), std::string::npos) << e.Message();
    EXPECT_NE(e.Message().find("BMP"), std::string::npos) << e.Message();
  }
  EXPECT_THROW(bitmap.LoadFromFile((dir_ / "missing.bmp").string()), EInOutError);
  EXPECT_THROW(bitmap.LoadFromFile(dir_.string()), EInOutError);
}

// Pixel indices past a short colour table: the picture gets black entries for them, so
// drawing it reads only the table it has.
TEST_F(BitmapTest, IndicesPastTheColourTableDrawBlack) {
  const std::string bytes = MakeBmp(8, 4, {{255, 255, 255, 255}, {255, 255, 0, 1}}, {clRed});
  ASSERT_EQ(bytes.size(), 66u);
  TBitmap bitmap;
  bitmap.LoadFromFile(Write("short-table.bmp", bytes));
  ASSERT_EQ(bitmap.Image().format(), QImage::Format_Indexed8);
  EXPECT_EQ(bitmap.Image().colorCount(), 256);
  EXPECT_EQ(PixelAt(bitmap, 0, 0), clBlack);
  EXPECT_EQ(PixelAt(bitmap, 2, 1), clRed);
  EXPECT_EQ(PixelAt(bitmap, 3, 1), clBlack);
  // Drawn stretched, as a button draws its icon.
  QImage canvas(16, 8, QImage::Format_RGB32);
  canvas.fill(Qt::white);
  QPainter painter(&canvas);
  painter.drawImage(QRect(0, 0, 16, 8), bitmap.Image());
  painter.end();
  EXPECT_EQ(canvas.pixelColor(1, 1), QColor(Qt::black));
  EXPECT_EQ(canvas.pixelColor(9, 5), QColor(Qt::red));
}

// The pixel data of a file whose declared offset lies at 0 or inside its headers
// starts after the headers and the colour table: such a file loads when its rows are
// all there and is refused as truncated when they are not.
TEST_F(BitmapTest, ATruncatedBitmapIsRefusedWhereverItsOffsetPoints) {
  const std::vector<std::vector<TColor>> rows(4, std::vector<TColor>{1, 0, 1, 0});
  const std::vector<TColor> palette = {clNavy, clYellow};
  const std::uint32_t offsets[] = {0, 2, 10, 14, 30, 54, 57};
  for (std::uint32_t offset : offsets) {
    SCOPED_TRACE(offset);
    const std::string whole = MakeBmp(8, 4, rows, palette, offset);
    TBitmap bitmap;
    bitmap.LoadFromFile(Write("whole.bmp", whole));
    EXPECT_EQ(PixelAt(bitmap, 0, 3), clYellow);
    EXPECT_EQ(PixelAt(bitmap, 3, 0), clNavy);
    for (std::size_t cut : {1u, 4u, 15u}) {
      EXPECT_THROW(bitmap.LoadFromFile(Write("cut.bmp", whole.substr(0, whole.size() - cut))), EInvalidGraphic)
          << cut << " bytes missing";
    }
    EXPECT_EQ(PixelAt(bitmap, 0, 3), clYellow) << "a refused file keeps the picture";
  }
  // The same for true colour, which has no colour table.
  const std::string whole = MakeBmp(24, 3, {{clRed, clRed, clRed}, {clLime, clLime, clLime}}, {}, 0);
  TBitmap bitmap;
  bitmap.LoadFromFile(Write("true.bmp", whole));
  EXPECT_EQ(PixelAt(bitmap, 0, 1), clLime);
  EXPECT_THROW(bitmap.LoadFromFile(Write("true-cut.bmp", whole.substr(0, whole.size() - 1))), EInvalidGraphic);
}

// Run-length compressed pixels that the runs skip (a jump, an early end of line or of
// the bitmap) are the first colour, never left over memory.
TEST_F(BitmapTest, PixelsARunLengthBitmapSkipsAreTheFirstColour) {
  std::string s = MakeBmp(8, 4, {}, {clTeal, clYellow});
  s[22] = 4;  // height 4
  s[30] = 1;  // RLE8
  // Bottom row: two pixels of colour 1 and an early end of line; then a jump of
  // (1, 1) and one pixel of colour 1; then the end of the bitmap.
  s += std::string("\x02\x01\x00\x00\x00\x02\x01\x01\x01\x01\x00\x01", 12);
  TBitmap bitmap;
  bitmap.LoadFromFile(Write("rle.bmp", s));
  const std::vector<std::vector<TColor>> expected = {{clTeal, clTeal, clTeal, clTeal},
                                                     {clTeal, clYellow, clTeal, clTeal},
                                                     {clTeal, clTeal, clTeal, clTeal},
                                                     {clYellow, clYellow, clTeal, clTeal}};
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(PixelAt(bitmap, x, y), expected[y][x]) << x << "," << y;
  }
  // Cut inside the runs, or runs declared to start past the end: refused.
  EXPECT_THROW(bitmap.LoadFromFile(Write("rle-cut.bmp", s.substr(0, s.size() - 3))), EInvalidGraphic);
  std::string farOffset = s;
  farOffset[10] = static_cast<char>(s.size() + 1);
  EXPECT_THROW(bitmap.LoadFromFile(Write("rle-far.bmp", farOffset)), EInvalidGraphic);
  EXPECT_EQ(PixelAt(bitmap, 1, 1), clYellow) << "a refused file keeps the picture";
}

}  // namespace
}  // namespace ruv::graphics
