#pragma once

// The window's background picture and the program icon, both compiled into
// the program (assets/), and the JPEG decoder the picture goes through.

#include <QByteArrayView>
#include <QIcon>
#include <QImage>

namespace spelkub {

// Decodes a JPEG stream through libjpeg into an RGB32 image (grayscale and
// CMYK streams are converted). Returns a null image for a stream libjpeg
// cannot read or had to patch up, such as a truncated one.
QImage DecodeJpeg(QByteArrayView data);

// The embedded blue-sky picture, 689 x 546, decoded with DecodeJpeg.
QImage BackgroundPicture();

// The embedded icon set (16 to 256 pixels). Needs a QGuiApplication.
QIcon ProgramIcon();

}  // namespace spelkub
