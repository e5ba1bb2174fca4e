#include "app/qt_platform.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>
#include <QUrl>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "commands/hand_in_command.h"
#include "history/history_database.h"
#include "io/save_file.h"

namespace spelkub {

namespace {

// Some of Qt's catalogues (Swedish among them) predate the context in which
// Qt 6 looks up the standard button texts; they hold the same texts under
// the button box's context.
class ToolkitTranslator : public QTranslator {
 public:
  using QTranslator::QTranslator;
  QString translate(const char* context, const char* source, const char* disambiguation,
                    int n) const override {
    QString text = QTranslator::translate(context, source, disambiguation, n);
    if (text.isEmpty() && std::strcmp(context, "QPlatformTheme") == 0) {
      text = QTranslator::translate("QDialogButtonBox", source, disambiguation, n);
    }
    return text;
  }
};

}  // namespace

bool InstallToolkitTranslations(const QLocale& locale) {
  QCoreApplication* application = QCoreApplication::instance();
  if (application == nullptr) return false;
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  auto translator = std::make_unique<ToolkitTranslator>(application);
  // qtbase_ is the catalogue of Qt 6; qt_ the older one, all a language may have.
  for (const char* catalogue : {"qtbase", "qt"}) {
    if (translator->load(locale, QString::fromLatin1(catalogue), QStringLiteral("_"), folder)) {
      QCoreApplication::installTranslator(translator.release());
      return true;
    }
  }
  return false;
}

std::unique_ptr<QMessageBox> NewMessageBox(QMessageBox::Icon icon, const QString& text,
                                           const QString& caption, const QString& details) {
  auto box = std::make_unique<QMessageBox>(icon, caption, text, QMessageBox::Ok);
  // A file name such as "<b>.txt" in an error must not turn bold.
  box->setTextFormat(Qt::PlainText);
  if (!details.isEmpty()) box->setDetailedText(details);
  return box;
}

void QtPlatform::ShowMessage(const QString& text, const QString& caption, const QString& details) {
  NewMessageBox(QMessageBox::NoIcon, text, caption, details)->exec();
}

void QtPlatform::ShowError(const QString& text, const QString& caption) {
  NewMessageBox(QMessageBox::Critical, text, caption)->exec();
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

namespace {

std::optional<QString> RunFileDialog(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty() || files.first().isEmpty()) return std::nullopt;
  return files.first();
}

void SetOneFilter(QFileDialog& dialog, const QString& filter, const QString& proposedPath) {
  dialog.setNameFilter(filter);
  dialog.selectNameFilter(filter);
  if (!proposedPath.isEmpty()) dialog.selectFile(proposedPath);
}

}  // namespace

std::unique_ptr<QFileDialog> NewOpenDialog(const QString& proposedPath, const QString& filter) {
  auto dialog = std::make_unique<QFileDialog>();
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::ExistingFile);
  SetOneFilter(*dialog, filter, proposedPath);
  return dialog;
}

std::unique_ptr<QFileDialog> NewSaveAsDialog(const QString& proposedPath, const QString& filter,
                                             const QString& suffix) {
  auto dialog = std::make_unique<QFileDialog>();
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setFileMode(QFileDialog::AnyFile);
  dialog->setDefaultSuffix(suffix);
  SetOneFilter(*dialog, filter, proposedPath);
  return dialog;
}

std::optional<QString> QtPlatform::ChooseOpenFile(const QString& proposedPath,
                                                  const QString& filter) {
  return RunFileDialog(*NewOpenDialog(proposedPath, filter));
}

std::optional<QString> QtPlatform::ChooseSaveFileAs(const QString& proposedPath,
                                                    const QString& filter, const QString& suffix) {
  return RunFileDialog(*NewSaveAsDialog(proposedPath, filter, suffix));
}

std::unique_ptr<QMessageBox> NewSaveChangesBox(const QString& text, const QString& caption) {
  auto box = std::make_unique<QMessageBox>(QMessageBox::Question, caption, text);
  box->setTextFormat(Qt::PlainText);
  QPushButton* save = box->addButton(QStringLiteral("Spara"), QMessageBox::AcceptRole);
  save->setObjectName(QStringLiteral("Spara"));
  box->addButton(QStringLiteral("Spara inte"), QMessageBox::DestructiveRole)
      ->setObjectName(QStringLiteral("SparaInte"));
  QPushButton* cancel = box->addButton(QStringLiteral("Avbryt"), QMessageBox::RejectRole);
  cancel->setObjectName(QStringLiteral("Avbryt"));
  box->setDefaultButton(save);
  box->setEscapeButton(cancel);
  return box;
}

SaveChangesAnswer QtPlatform::AskSaveChanges(const QString& text, const QString& caption) {
  const std::unique_ptr<QMessageBox> box = NewSaveChangesBox(text, caption);
  box->exec();
  const QAbstractButton* clicked = box->clickedButton();
  if (clicked == nullptr) return SaveChangesAnswer::kCancel;
  switch (box->buttonRole(const_cast<QAbstractButton*>(clicked))) {
    case QMessageBox::AcceptRole:
      return SaveChangesAnswer::kSave;
    case QMessageBox::DestructiveRole:
      return SaveChangesAnswer::kDiscard;
    default:
      return SaveChangesAnswer::kCancel;
  }
}

void QtPlatform::WriteFile(const QString& path, const QByteArray& bytes) {
  // File names go to the C library in the local 8-bit encoding.
  SaveTextFile(QFile::encodeName(path).toStdString(),
               std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

void QtPlatform::WriteFiles(const std::vector<QString>& paths,
                            const std::vector<QByteArray>& texts) {
  std::vector<std::string> names;
  for (const QString& path : paths) names.push_back(QFile::encodeName(path).toStdString());
  std::vector<std::string_view> views;
  for (const QByteArray& text : texts) {
    views.emplace_back(text.constData(), static_cast<size_t>(text.size()));
  }
  SaveTextFiles(names, views);
}

QByteArray QtPlatform::ReadFile(const QString& path) {
  return QByteArray::fromStdString(ReadBackFile(QFile::encodeName(path).toStdString()));
}

QString QtPlatform::HistoryPath() {
  return QFile::decodeName(QByteArray::fromStdString(
      history::DefaultHistoryPath(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"))));
}

}  // namespace spelkub
