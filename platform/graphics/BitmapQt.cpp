// Bitmaps through QtGui's BMP reader.
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageIOHandler>
#include <QImageReader>
#include <algorithm>
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

// Whether an uncompressed bitmap is too short for its pixel rows. This is the early
// refusal, before the reader allocates a picture of the declared size: a header with
// huge dimensions in a small file is refused at once. The pixel data starts at the
// declared offset, but never inside the headers: an offset of 0, or one that points
// into the headers, leaves the reader after them (and after the colour table, which
// ReadWatch below accounts for). Compressed bitmaps have no size to check before
// they are decoded; ReadWatch sees them run out.
bool PixelDataCutShort(const std::string& d) {
  if (d.size() < 18) return true;
  // Pixel data declared to start past the end is missing, compressed or not (the
  // reader would take whatever follows the colour table instead).
  if (Read32(d, 10) > d.size()) return true;
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
  const std::uint64_t offset = std::max<std::uint64_t>(Read32(d, 10), 14 + std::uint64_t{headerSize});
  const std::uint64_t stride = (width * bits + 31) / 32 * 4;
  // A header with huge dimensions needs more bytes than any file holds.
  if (stride != 0 && height > (UINT64_MAX - offset) / stride) return true;
  return d.size() < offset + stride * height;
}

// The file's bytes as the reader sees them, noting whether it ever asked for bytes
// past the end. The reader does not fail on a short file: it stops and leaves the
// rows it did not get as whatever memory the picture was given. A request it could
// not satisfy is therefore the exact sign of a truncated file, wherever its pixel
// data starts. Opened unbuffered, so every request of the reader arrives here as made.
class ReadWatch final : public QBuffer {
 public:
  explicit ReadWatch(QByteArray* bytes) : QBuffer(bytes) { open(QIODevice::ReadOnly | QIODevice::Unbuffered); }
  bool RanOut() const { return ranOut_; }

 protected:
  qint64 readData(char* data, qint64 maxSize) override {
    const qint64 got = QBuffer::readData(data, maxSize);
    if (got < maxSize) ranOut_ = true;
    return got;
  }

 private:
  bool ranOut_ = false;
};

// The picture a run-length compressed bitmap is decoded into. The runs write only
// the pixels they name (an end of line, a jump or an early end leaves the rest), so
// the reader is handed a picture already cleared to the first colour, as a bitmap
// decoded by the system starts. Empty (the reader allocates its own, within its
// allocation limit, and then refuses the file) when the header is no such bitmap or
// the picture would pass that limit.
QImage ClearedRunLengthPicture(const std::string& d) {
  if (d.size() < 34 || Read32(d, 14) < 40) return {};
  const std::uint32_t compression = Read32(d, 30);
  const std::uint16_t bits = Read16(d, 28);
  if (!((compression == 1 && bits == 8) || (compression == 2 && bits == 4))) return {};
  const auto width = static_cast<std::int32_t>(Read32(d, 18));
  const std::uint64_t height = ReadDimension(d, 22);
  if (width <= 0 || height == 0 || height > 0x7FFFFFFF) return {};
  QImage image;
  if (!QImageIOHandler::allocateImage(QSize(width, static_cast<int>(height)), QImage::Format_Indexed8, &image)) return {};
  image.fill(0);
  return image;
}

// Gives an indexed picture an entry for every index its pixels can hold. A file's
// colour table may be shorter than its pixel indices reach, and drawing such a pixel
// would read past the table; the missing entries are black.
void CompleteColourTable(QImage& image) {
  int needed = 0;
  switch (image.format()) {
    case QImage::Format_Indexed8: needed = 256; break;
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB: needed = 2; break;
    default: return;
  }
  const int had = image.colorCount();
  if (had >= needed) return;
  image.setColorCount(needed);
  for (int i = had; i < needed; ++i) image.setColor(i, qRgb(0, 0, 0));
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
  const std::string truncated = "The bitmap file \"" + fileName + "\" is truncated.";
  if (PixelDataCutShort(data)) throw EInvalidGraphic(truncated);
  QByteArray bytes = QByteArray::fromRawData(data.data(), static_cast<qsizetype>(data.size()));
  ReadWatch device(&bytes);
  QImageReader reader(&device, "BMP");
  reader.setAutoDetectImageFormat(false);  // a file that claims "BM" is read as BMP or not at all
  QImage image = ClearedRunLengthPicture(data);
  if (!reader.read(&image) || image.isNull()) {
    throw EInvalidGraphic("The bitmap file \"" + fileName + "\" is damaged: " +
                          reader.errorString().toStdString() + ".");
  }
  if (device.RanOut()) throw EInvalidGraphic(truncated);
  CompleteColourTable(image);
  picture_->image = std::move(image);
}

int TBitmap::Width() const { return picture_->image.width(); }
int TBitmap::Height() const { return picture_->image.height(); }
bool TBitmap::Empty() const { return picture_->image.isNull(); }
const QImage& TBitmap::Image() const { return picture_->image; }

}  // namespace ruv::graphics
