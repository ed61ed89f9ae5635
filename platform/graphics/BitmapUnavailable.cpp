// Bitmaps in a build without Qt: nothing loads, every load says why.
#include "ruv/platform/Exception.h"
#include "ruv/platform/Graphics.h"

namespace ruv::graphics {

struct TBitmap::Picture {};

TBitmap::TBitmap() : picture_(std::make_unique<Picture>()) {}
TBitmap::~TBitmap() = default;

void TBitmap::LoadFromFile(const std::string& fileName) {
  throw EInvalidGraphic("The bitmap file \"" + fileName + "\" cannot be loaded: this build has no image support.");
}

int TBitmap::Width() const { return 0; }
int TBitmap::Height() const { return 0; }
bool TBitmap::Empty() const { return true; }

}  // namespace ruv::graphics
