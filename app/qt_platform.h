// The platform layer over Qt: QMessageBox, QDesktopServices, QFileDialog and
// the engine's safe file writer.
#pragma once

#include <memory>

#include "app/platform.h"

class QFileDialog;

namespace spelkub {

// The save dialog as ChooseSaveFile runs it, configured but not shown: one
// filter "text files (*.txt)", selected; suffix txt added to a name without
// one; no overwrite question; the toolkit's own title; `proposedPath` (a full
// path, or empty) proposed with its folder.
std::unique_ptr<QFileDialog> NewSaveDialog(const QString& proposedPath);

class QtPlatform : public Platform {
 public:
  void ShowMessage(const QString& text, const QString& caption) override;
  void ShowError(const QString& text, const QString& caption) override;
  void OpenAddress(const QString& address) override;
  std::optional<QString> ChooseSaveFile(const QString& proposedPath) override;
  void WriteFile(const QString& path, const QByteArray& bytes) override;
};

}  // namespace spelkub
