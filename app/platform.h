// What the window needs from the desktop beyond its own controls: message
// boxes, the error box, opening addresses, the file dialogs, the question
// before unsaved changes are lost, and file writing.
// The window talks to this interface only, so tests can put a recording fake
// in place of the real Qt implementation (qt_platform.h).
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace spelkub {

// The answers to "Spara ändringarna i kupongen?".
enum class SaveChangesAnswer { kSave, kDiscard, kCancel };

class Platform {
 public:
  virtual ~Platform() = default;
  // Modal box: text, caption, one OK button, no icon, no owner window; with
  // `details`, a button that shows them below (for a long list).
  virtual void ShowMessage(const QString& text, const QString& caption,
                           const QString& details = QString()) = 0;
  // The standard error box for an error that escaped a handler: error icon, OK.
  virtual void ShowError(const QString& text, const QString& caption) = 0;
  // Opens a mail or web address with the desktop's default program; result ignored.
  virtual void OpenAddress(const QString& address) = 0;
  // The save dialog (filter "text files (*.txt)", default suffix txt, no overwrite
  // question, no title of ours), proposing `proposedPath`; nullopt on cancel.
  virtual std::optional<QString> ChooseSaveFile(const QString& proposedPath) = 0;
  // Replaces the file with exactly these bytes; throws spelkub::SaveError.
  // `bytes` may point into the row list: it is valid during the call only.
  virtual void WriteFile(const QString& path, const QByteArray& bytes) = 0;
  // Replaces several files as one save (see SaveTextFiles: all are written
  // unseen before any is named); throws spelkub::SaveFilesError.
  virtual void WriteFiles(const std::vector<QString>& paths,
                          const std::vector<QByteArray>& texts) = 0;
  // The bytes of a file just written, to check it before the save is
  // reported; throws spelkub::SaveError when it cannot be read.
  virtual QByteArray ReadFile(const QString& path) = 0;
  // The history database of played coupons ($XDG_DATA_HOME/spelkub-lite/…);
  // empty when there is no place for it.
  virtual QString HistoryPath() { return {}; }

  // The open dialog for an existing file, with one filter such as "Kupong
  // (*.spelkub)", proposing `proposedPath` (or its folder); nullopt on cancel.
  // A platform without dialogs chooses nothing.
  virtual std::optional<QString> ChooseOpenFile(const QString& /*proposedPath*/,
                                                const QString& /*filter*/) {
    return std::nullopt;
  }
  // A save dialog with one filter and `suffix` added to a name typed without
  // one; it asks before replacing a file. nullopt on cancel.
  virtual std::optional<QString> ChooseSaveFileAs(const QString& /*proposedPath*/,
                                                  const QString& /*filter*/,
                                                  const QString& /*suffix*/) {
    return std::nullopt;
  }
  // Asks whether to save changes before they are lost, with the buttons
  // "Spara", "Spara inte" and "Avbryt". A platform that cannot ask keeps them.
  virtual SaveChangesAnswer AskSaveChanges(const QString& /*text*/, const QString& /*caption*/) {
    return SaveChangesAnswer::kCancel;
  }
};

// The save dialog's one piece of state: the path last chosen, which the next
// opening proposes again. Empty until the first save.
struct SaveDialog {
  QString FileName;
};

}  // namespace spelkub
