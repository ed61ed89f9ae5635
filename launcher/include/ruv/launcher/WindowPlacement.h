#pragma once
// Where the launcher's windows go on the screen, and how narrow a window with a
// caption may be.
//
// A window is placed by its frame, the window with the border and caption the
// window manager adds: its top-left corner is what a move sets. Until the manager
// has taken the window, its frame is not known and is taken as the window itself.

#include <QPoint>
#include <QRect>

class QWidget;

namespace ruv {

// The narrowest main window: a window this wide, frame or none, keeps its caption
// and its close button in the title bar usable (the smallest captioned window of a
// desktop is about that wide with its frame).
inline constexpr int kNajmniejszaSzerokoscOkna = 136;
// The narrowest message box: a short caption such as "Błąd" shows beside the title
// bar's buttons.
inline constexpr int kNajmniejszaSzerokoscSkrzynki = 200;

// Where a frame wanted at `frame` goes so that it keeps to `area`: moved left and up
// as far as it reaches past the area's right and bottom edges, then right and down
// until its top-left corner lies in the area. A frame larger than the area thus has
// its top-left corner on the area's left or top edge and reaches past the right or
// bottom one, so its caption stays on screen. An empty area moves nothing.
QPoint KeepInArea(const QRect& frame, const QRect& area);

// Moves the top-level `window` so that its frame is centred on `centre`, kept to
// `area` as KeepInArea does.
void CentreInArea(QWidget& window, QPoint centre, const QRect& area);

}  // namespace ruv
