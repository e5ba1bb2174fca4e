#include "app/qt_platform.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>
#include <string_view>

#include "generate/save_file.h"

namespace spelkub {

void QtPlatform::ShowMessage(const QString& text, const QString& caption) {
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok);
  box.exec();
}

void QtPlatform::ShowError(const QString& text, const QString& caption) {
  QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok);
  box.exec();
}

void QtPlatform::OpenAddress(const QString& address) {
  QDesktopServices::openUrl(QUrl(address, QUrl::TolerantMode));
}

std::unique_ptr<QFileDialog> NewSaveDialog(const QString& proposedPath) {
  auto dialog = std::make_unique<QFileDialog>();
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setFileMode(QFileDialog::AnyFile);
  const QString filter = QStringLiteral("text files (*.txt)");
  dialog->setNameFilter(filter);
  dialog->selectNameFilter(filter);
  dialog->setDefaultSuffix(QStringLiteral("txt"));
  dialog->setOption(QFileDialog::DontConfirmOverwrite);
  if (!proposedPath.isEmpty()) dialog->selectFile(proposedPath);
  return dialog;
}

std::optional<QString> QtPlatform::ChooseSaveFile(const QString& proposedPath) {
  const std::unique_ptr<QFileDialog> dialog = NewSaveDialog(proposedPath);
  if (dialog->exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog->selectedFiles();
  if (files.isEmpty() || files.first().isEmpty()) return std::nullopt;
  return files.first();
}

void QtPlatform::WriteFile(const QString& path, const QByteArray& bytes) {
  // File names go to the C library in the local 8-bit encoding.
  SaveTextFile(QFile::encodeName(path).toStdString(),
               std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

}  // namespace spelkub
