#include "app/window_fonts.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QStandardPaths>
#include <QString>

namespace spelkub {
namespace {

constexpr int kFontPixelSize = 11;  // Tahoma 8 pt
constexpr QLatin1String kWineTahoma("wine/fonts/tahoma.ttf");

// Wine keeps its Tahoma among its own data, which fontconfig does not list:
// under the data folders (share/ of the system's prefixes), or beside the
// installed wine program for packages that live in a prefix of their own.
QString WineTahomaFile() {
  QString file = QStandardPaths::locate(QStandardPaths::GenericDataLocation, kWineTahoma);
  if (!file.isEmpty()) return file;
  const QString wine = QStandardPaths::findExecutable(QStringLiteral("wine"));
  if (wine.isEmpty()) return {};
  const QDir bin = QFileInfo(QFileInfo(wine).canonicalFilePath()).dir();
  file = bin.filePath(QStringLiteral("../share/") + kWineTahoma);
  return QFileInfo::exists(file) ? QDir::cleanPath(file) : QString();
}

WindowFonts FindFonts() {
  const QString tahoma = QStringLiteral("Tahoma");
  QString family;
  QString boldFamily;
  if (QFontDatabase::hasFamily(tahoma)) {
    family = boldFamily = tahoma;
  } else if (const QString file = WineTahomaFile();
             !file.isEmpty() && QFontDatabase::addApplicationFont(file) >= 0) {
    family = boldFamily = tahoma;
    // Wine's bold Tahoma is hardly heavier than its regular face. DejaVu Sans
    // Condensed, the design it follows, has a true bold with Tahoma Bold's
    // widths; without it Qt emboldens the regular face.
    const QString condensed = QStringLiteral("DejaVu Sans Condensed");
    if (QFontDatabase::styles(condensed).contains(QStringLiteral("Bold"))) boldFamily = condensed;
  }
  WindowFonts fonts;
  for (QFont* font : {&fonts.regular, &fonts.bold}) {
    font->setStyleHint(QFont::SansSerif);
    font->setPixelSize(kFontPixelSize);
  }
  if (!family.isEmpty()) fonts.regular.setFamily(family);
  if (!boldFamily.isEmpty()) fonts.bold.setFamily(boldFamily);
  fonts.bold.setBold(true);
  return fonts;
}

}  // namespace

const WindowFonts& Fonts() {
  static const WindowFonts fonts = FindFonts();
  return fonts;
}

}  // namespace spelkub
