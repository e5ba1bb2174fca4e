// Spelkub_lite: one window over one coupon. Reads no command line or
// settings; the desktop's language only for the toolkit's own dialogs. Always
// returns 0.
#include <QApplication>
#include <QLocale>
#include <exception>

#include "app/main_window.h"
#include "app/qt_platform.h"
#include "coupon/coupon_state.h"
#include "io/save_file.h"

namespace {
// The user's choices, from start to exit.
spelkub::CouponState Coupon;
}  // namespace

int main(int argc, char** argv) {
  // Ending the program by a signal during a save leaves no temporary file behind.
  spelkub::InstallSaveSignalCleanup();
  // Only the program's own path goes to Qt: no argument is ever read.
  int qtArgc = argc > 0 ? 1 : 0;
  QApplication application(qtArgc, argv);
  spelkub::InstallToolkitTranslations(QLocale::system());
  spelkub::QtPlatform platform;
  try {
    TForm1 Form1(Coupon, platform);
    Form1.show();
    QApplication::exec();
  } catch (const std::exception& error) {
    platform.ShowError(QString::fromLocal8Bit(error.what()), spelkub::ApplicationTitle());
  } catch (...) {
    platform.ShowError(QString(), spelkub::ApplicationTitle());
  }
  return 0;
}
