// The platform layer over Qt: QMessageBox, QDesktopServices, QFileDialog, the
// toolkit's own translations and the engine's safe file writer.
#pragma once

#include <QMessageBox>
#include <memory>

#include "app/platform.h"

class QFileDialog;
class QLocale;

namespace spelkub {

// The save dialog as ChooseSaveFile runs it, configured but not shown: one
// filter "text files (*.txt)", selected; suffix txt added to a name without
// one; no overwrite question; the toolkit's own title; `proposedPath` (a full
// path, or empty) proposed with its folder.
std::unique_ptr<QFileDialog> NewSaveDialog(const QString& proposedPath);

// The dialogs ChooseOpenFile and ChooseSaveFileAs run, configured but not
// shown: one filter, selected; for saving, `suffix` added to a name without
// one; `proposedPath` (a full path, or empty) proposed with its folder.
std::unique_ptr<QFileDialog> NewOpenDialog(const QString& proposedPath, const QString& filter);
std::unique_ptr<QFileDialog> NewSaveAsDialog(const QString& proposedPath, const QString& filter,
                                             const QString& suffix);

// The question AskSaveChanges runs, built but not shown: `text`, `caption`,
// and the buttons "Spara" (the default), "Spara inte" and "Avbryt" (Escape).
std::unique_ptr<QMessageBox> NewSaveChangesBox(const QString& text, const QString& caption);

// The box ShowMessage and ShowError run, built but not shown: `text` shown as
// it is (plain text, never read as markup), `caption`, one OK button, and
// `details`, when given, behind the box's own details button.
std::unique_ptr<QMessageBox> NewMessageBox(QMessageBox::Icon icon, const QString& text,
                                           const QString& caption,
                                           const QString& details = QString());

// Loads Qt's own translations for `locale` into the running application, so
// that the toolkit's dialogs and buttons speak the desktop's language. False
// when none are installed for it (the dialogs then stay in English).
bool InstallToolkitTranslations(const QLocale& locale);

class QtPlatform : public Platform {
 public:
  void ShowMessage(const QString& text, const QString& caption,
                   const QString& details = QString()) override;
  void ShowError(const QString& text, const QString& caption) override;
  void OpenAddress(const QString& address) override;
  std::optional<QString> ChooseSaveFile(const QString& proposedPath) override;
  void WriteFile(const QString& path, const QByteArray& bytes) override;
  void WriteFiles(const std::vector<QString>& paths, const std::vector<QByteArray>& texts) override;
  QByteArray ReadFile(const QString& path) override;
  QString HistoryPath() override;
  std::optional<QString> ChooseOpenFile(const QString& proposedPath,
                                        const QString& filter) override;
  std::optional<QString> ChooseSaveFileAs(const QString& proposedPath, const QString& filter,
                                          const QString& suffix) override;
  SaveChangesAnswer AskSaveChanges(const QString& text, const QString& caption) override;
};

}  // namespace spelkub
