// A Platform for widget tests: records every box, link, dialog, question and
// write, and answers the file dialogs and the question from a script. Also holds the one
// QApplication that widget tests need.
#pragma once

#include <QApplication>
#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/platform.h"
#include "io/save_file.h"

namespace spelkub::testing {

// The process's QApplication, created on first use.
inline QApplication& TestApplication() {
  static int argc = 1;
  static char name[] = "spelkub_test";
  static char* argv[] = {name, nullptr};
  static QApplication* application = new QApplication(argc, argv);
  return *application;
}

// Base of widget test fixtures: makes sure the application exists before any
// widget member is built.
class WithApplication {
 protected:
  WithApplication() { TestApplication(); }
};

struct Box {
  QString text;
  QString caption;
  bool operator==(const Box&) const = default;
};

struct Write {
  QString path;
  QByteArray bytes;
};

class FakePlatform : public Platform {
 public:
  std::vector<Box> messages;
  std::vector<QString> messageDetails;  // the details of each message, empty for none
  std::vector<Box> errors;
  std::vector<QString> addresses;
  std::vector<QString> proposedPaths;  // what each save dialog proposed
  std::vector<Write> writes;

  // Called while a message box is "open", so a test can look at the window
  // at that moment.
  std::function<void(const Box&)> onMessage;
  // The save dialog's answer: a path, or nullopt for Cancel.
  std::optional<QString> saveAnswer;
  // The open dialog's answer, and the filter each open and save-as dialog
  // offered (ChooseSaveFileAs answers with saveAnswer).
  std::optional<QString> openAnswer;
  std::vector<QString> openFilters;
  std::vector<QString> saveFilters;
  // "Spara ändringarna i kupongen?" and the like: each question asked, and
  // the answer given to all of them; onQuestion sees the window meanwhile.
  std::vector<Box> questions;
  SaveChangesAnswer questionAnswer = SaveChangesAnswer::kCancel;
  std::function<void(const Box&)> onQuestion;
  // When set, WriteFile fails with this text and records nothing.
  std::optional<std::string> writeFailure;

  void ShowMessage(const QString& text, const QString& caption,
                   const QString& details = QString()) override {
    messages.push_back({text, caption});
    messageDetails.push_back(details);
    if (onMessage) onMessage(messages.back());
  }
  void ShowError(const QString& text, const QString& caption) override {
    errors.push_back({text, caption});
  }
  void OpenAddress(const QString& address) override { addresses.push_back(address); }
  std::optional<QString> ChooseSaveFile(const QString& proposedPath) override {
    proposedPaths.push_back(proposedPath);
    return saveAnswer;
  }
  void WriteFile(const QString& path, const QByteArray& bytes) override {
    if (writeFailure) throw SaveError(*writeFailure);
    // A deep copy: the bytes may point into the row list, which changes later.
    writes.push_back({path, QByteArray(bytes.constData(), bytes.size())});
  }
  // As one save: with writeFailure set, the first namedBeforeFailure files
  // are recorded and the save then fails, as a file system failing between
  // two names would.
  void WriteFiles(const std::vector<QString>& paths,
                  const std::vector<QByteArray>& texts) override {
    for (size_t file = 0; file < paths.size() && file < texts.size(); ++file) {
      if (writeFailure && file == namedBeforeFailure) {
        throw SaveFilesError(*writeFailure, namedBeforeFailure);
      }
      writes.push_back({paths[file], QByteArray(texts[file].constData(), texts[file].size())});
    }
  }
  size_t namedBeforeFailure = 0;
  // The bytes last written to the path (as a save's read-back finds them),
  // or readBackOverride when set.
  QByteArray ReadFile(const QString& path) override {
    if (readBackOverride) return *readBackOverride;
    for (auto write = writes.rbegin(); write != writes.rend(); ++write) {
      if (write->path == path) return write->bytes;
    }
    throw SaveError("Kan inte läsa tillbaka \"" + path.toStdString() + "\".");
  }
  std::optional<QByteArray> readBackOverride;
  // The history database's path; empty: the window has none.
  QString historyPath;
  QString HistoryPath() override { return historyPath; }

  std::optional<QString> ChooseOpenFile(const QString& proposedPath,
                                        const QString& filter) override {
    proposedPaths.push_back(proposedPath);
    openFilters.push_back(filter);
    return openAnswer;
  }
  std::optional<QString> ChooseSaveFileAs(const QString& proposedPath, const QString& filter,
                                          const QString& /*suffix*/) override {
    proposedPaths.push_back(proposedPath);
    saveFilters.push_back(filter);
    return saveAnswer;
  }
  SaveChangesAnswer AskSaveChanges(const QString& text, const QString& caption) override {
    questions.push_back({text, caption});
    if (onQuestion) onQuestion(questions.back());
    return questionAnswer;
  }
};

}  // namespace spelkub::testing
