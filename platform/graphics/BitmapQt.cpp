// Bitmaps through QtGui's BMP reader.
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <cstdint>

#include "ruv/platform/Exception.h"
#include "ruv/platform/Files.h"
#include "ruv/platform/Graphics.h"

namespace ruv::graphics {
namespace {

std::uint32_t Read32(const std::string& d, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v |= std::uint32_t{static_cast<unsigned char>(d[at + i])} << (8 * i);
  return v;
}
// A signed 32-bit dimension (a negative height marks a top-down bitmap), as a size.
std::uint64_t ReadDimension(const std::string& d, std::size_t at) {
  const auto v = static_cast<std::int64_t>(static_cast<std::int32_t>(Read32(d, at)));
  return static_cast<std::uint64_t>(v < 0 ? -v : v);
}
std::uint16_t Read16(const std::string& d, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(d[at]) | (static_cast<unsigned char>(d[at + 1]) << 8));
}

// Whether an uncompressed bitmap ends before its last pixel row. The BMP reader
// leaves missing rows blank instead of failing, so a file cut short in transfer
// would otherwise load as a partly empty picture. Compressed bitmaps are left to
// the reader, which checks them as it decodes.
bool PixelDataCutShort(const std::string& d) {
  if (d.size() < 18) return true;
  const std::uint64_t offset = Read32(d, 10);
  const std::uint32_t headerSize = Read32(d, 14);
  std::uint64_t width = 0, height = 0, bits = 0;
  if (headerSize == 12) {  // the old core header
    if (d.size() < 26) return true;
    width = Read16(d, 18);
    height = Read16(d, 20);
    bits = Read16(d, 24);
  } else if (headerSize >= 40) {
    if (d.size() < 34) return true;
    const std::uint32_t compression = Read32(d, 30);
    if (compression != 0 && compression != 3 && compression != 6) return false;
    width = ReadDimension(d, 18);
    height = ReadDimension(d, 22);
    bits = Read16(d, 28);
  } else {
    return false;  // an unknown header: the reader refuses it
  }
  if (bits > 32) return false;  // no such depth: the reader refuses it
  const std::uint64_t stride = (width * bits + 31) / 32 * 4;
  // A header with huge dimensions needs more bytes than any file holds.
  if (stride != 0 && height > (UINT64_MAX - offset) / stride) return true;
  return d.size() < offset + stride * height;
}

}  // namespace

struct TBitmap::Picture {
  QImage image;
};

TBitmap::TBitmap() : picture_(std::make_unique<Picture>()) {}
TBitmap::~TBitmap() = default;

void TBitmap::LoadFromFile(const std::string& fileName) {
  if (fs::DirectoryExists(fileName)) throw EInOutError("Cannot open file \"" + fileName + "\": it is a directory.");
  const std::string data = fs::ReadFile(fileName);
  if (data.size() < 2 || data[0] != 'B' || data[1] != 'M') {
    throw EInvalidGraphic("The file \"" + fileName + "\" is not a Windows bitmap (BMP) file.");
  }
  if (PixelDataCutShort(data)) throw EInvalidGraphic("The bitmap file \"" + fileName + "\" is truncated.");
  QByteArray bytes = QByteArray::fromRawData(data.data(), static_cast<qsizetype>(data.size()));
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "BMP");
  reader.setAutoDetectImageFormat(false);  // a file that claims "BM" is read as BMP or not at all
  QImage image = reader.read();
  if (image.isNull()) {
    throw EInvalidGraphic("The bitmap file \"" + fileName + "\" is damaged: " +
                          reader.errorString().toStdString() + ".");
  }
  picture_->image = std::move(image);
}

int TBitmap::Width() const { return picture_->image.width(); }
int TBitmap::Height() const { return picture_->image.height(); }
bool TBitmap::Empty() const { return picture_->image.isNull(); }
const QImage& TBitmap::Image() const { return picture_->image; }

}  // namespace ruv::graphics
