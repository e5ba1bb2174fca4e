// The platform layer over Qt: QMessageBox, QDesktopServices, QFileDialog and
// the engine's safe file writer.
#pragma once

#include "app/platform.h"

namespace spelkub {

class QtPlatform : public Platform {
 public:
  void ShowMessage(const QString& text, const QString& caption) override;
  void ShowError(const QString& text, const QString& caption) override;
  void OpenAddress(const QString& address) override;
  std::optional<QString> ChooseSaveFile(const QString& proposedPath) override;
  void WriteFile(const QString& path, const QByteArray& bytes) override;
};

}  // namespace spelkub
