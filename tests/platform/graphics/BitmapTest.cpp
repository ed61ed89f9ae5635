#include "TestDirectory.h"
#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <filesystem>
#include <fstream>

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
std::string MakeBmp(int bits, int width, const std::vector<std::vector<TColor>>& rows,
                    const std::vector<TColor>& palette = {}) {
  const int height = static_cast<int>(rows.size());
  const int stride = ((width * bits + 31) / 32) * 4;
  const auto offset = static_cast<std::uint32_t>(14 + 40 + 4 * palette.size());
  std::string s = "BM";
  Put32(s, offset + static_cast<std::uint32_t>(stride * height));
  Put32(s, 0);
  Put32(s, offset);
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

}  // namespace
}  // namespace ruv::graphics
