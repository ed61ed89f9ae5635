#include "ruv/launcher/WindowPlacement.h"

#include <QWidget>

#include <algorithm>

namespace ruv {

QPoint KeepInArea(const QRect& frame, const QRect& area) {
  if (!area.isValid()) return frame.topLeft();
  // Sizes of windows and screens are far from int's range, so the sums do not overflow.
  const int x = std::min(frame.x(), area.x() + area.width() - frame.width());
  const int y = std::min(frame.y(), area.y() + area.height() - frame.height());
  return {std::max(x, area.x()), std::max(y, area.y())};
}

void CentreInArea(QWidget& window, QPoint centre, const QRect& area) {
  const QRect frame = window.frameGeometry();
  const QRect wanted(centre - QPoint(frame.width() / 2, frame.height() / 2), frame.size());
  window.move(KeepInArea(wanted, area));
}

}  // namespace ruv
