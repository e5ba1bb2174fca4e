// The window's fonts: Tahoma 8 pt (11 pixels at 96 dpi) where the machine has
// it, else the copy of Tahoma that wine ships, else a plain sans font of that
// size.
#pragma once

#include <QFont>

namespace spelkub {

struct WindowFonts {
  QFont regular;
  QFont bold;
};

// Found once, on first use; needs a QGuiApplication.
const WindowFonts& Fonts();

}  // namespace spelkub
