// libFuzzer target of the bitmap loader: the input is written to a file and loaded
// with TBitmap::LoadFromFile, as a downloaded icon is; a picture that loads is then
// drawn the way a terminal button draws its icon (stretched into a square) and
// unscaled, onto an offscreen picture. Every index of an indexed picture must have
// a colour-table entry, since drawing reads the entry of each pixel inside the
// uninstrumented toolkit, where an overrun would go unseen.
// Built by tools/fuzz/bitmap.sh, never by the default build. Built with
// RUV_FUZZ_REPLAY it is a plain program that runs the files it is given, for a
// replay of the corpus under valgrind (which also sees pixels read uninitialised).

#include <unistd.h>

#include <QImage>
#include <QPainter>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "ruv/platform/Exception.h"
#include "ruv/platform/Graphics.h"

namespace {

const std::string& InputPath() {
  static const std::string path = [] {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/ruv_fuzz_bitmap_" +
           std::to_string(::getpid()) + ".bmp";
  }();
  return path;
}

void Draw(const QImage& picture) {
  if (picture.format() == QImage::Format_Indexed8 || picture.format() == QImage::Format_Mono ||
      picture.format() == QImage::Format_MonoLSB) {
    if (picture.colorCount() < (1 << picture.depth())) __builtin_trap();  // an index without an entry
  }
  QImage canvas(48, 48, QImage::Format_RGB32);
  canvas.fill(Qt::white);
  QPainter painter(&canvas);
  painter.drawImage(QRect(2, 2, 35, 35), picture);
  painter.drawImage(QPoint(0, 0), picture);
  painter.end();
  volatile std::uint32_t sink = 0;
  for (int y = 0; y < canvas.height(); ++y) {
    for (int x = 0; x < canvas.width(); ++x) sink = sink + canvas.pixel(x, y);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    std::ofstream out(InputPath(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  ruv::graphics::TBitmap bitmap;
  try {
    bitmap.LoadFromFile(InputPath());
  } catch (const ruv::EInvalidGraphic&) {
    return 0;
  }
  Draw(bitmap.Image());
  return 0;
}

#ifdef RUV_FUZZ_REPLAY
int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  std::remove(InputPath().c_str());
  std::printf("replayed %d inputs\n", argc - 1);
  return 0;
}
#endif
