// Helpers for benchmarks of widgets: an offscreen QApplication and a platform
// that shows nothing.
#pragma once

#include <QApplication>
#include <QByteArray>
#include <vector>

#include "app/platform.h"

namespace spelkub::bench {

// The process's QApplication on the offscreen platform, created on first use.
inline QApplication& OffscreenApplication() {
  static QApplication* application = [] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QT_FONT_DPI")) qputenv("QT_FONT_DPI", "96");
    static int argc = 1;
    static char name[] = "spelkub_bench";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
  }();
  return *application;
}

class SilentPlatform : public Platform {
 public:
  void ShowMessage(const QString&, const QString&, const QString& = QString()) override {}
  void ShowError(const QString&, const QString&) override {}
  void OpenAddress(const QString&) override {}
  std::optional<QString> ChooseSaveFile(const QString&) override { return std::nullopt; }
  void WriteFile(const QString&, const QByteArray&) override {}
  void WriteFiles(const std::vector<QString>&, const std::vector<QByteArray>&) override {}
  QByteArray ReadFile(const QString&) override { return {}; }
};

}  // namespace spelkub::bench
