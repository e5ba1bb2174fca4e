// The "Verktyg" menu's commands: "Optimerad garanti...", "Garantianalys...",
// "Rätta rader..." and "Spara för inlämning...".
//
// Each reads what it needs from the window through a ToolHost (the rows from
// the session, not from the row list's text unless the player edited it),
// checks it with the engine (a refusal is a message box and nothing changes),
// then opens its modal dialog or the save dialog. A tool that replaces the
// rows hands them to the window, which shows them and gives them to the
// session.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <string_view>

#include "app/platform.h"
#include "coupon/coupon_state.h"
#include "coupon/row_set.h"
#include "document/coupon_document.h"
#include "session/session.h"
#include "text/coupon_reader.h"

class QDialog;
class QWidget;

namespace spelkub::tools {

// What a command needs of the window, read when the command starts.
struct ToolHost {
  const CouponState& state;
  Platform& platform;
  QWidget* window;      // the dialogs' parent
  Plus13Choice plus13;  // "Dubbelvinsten?"
  // The current rows as the strict reader gives them: the session's own, or
  // the row list's text read back once after a hand edit.
  std::function<ReadResult()> rows;
  // Puts rows into the row list, their number into Label18 and them into the
  // session, with a short line of how they were made.
  std::function<void(const RowSet& rows, std::string how)> showRows;
  // Sets the status bar's text, after a tool replaced the rows.
  std::function<void(const QString& text)> showStatus;
  // The path "Spara för inlämning" proposes next; kept apart from "Spara
  // Raderna"'s, since the save dialog never asks before replacing a file.
  SaveDialog& handInDialog;
  // The coupon document of the window: the match values, pool and conditions
  // the value tools read and the match table edits.
  CouponDocument& document;
};

void OptimizeCommand(const ToolHost& host);
void AnalysisCommand(const ToolHost& host);
void GradeCommand(const ToolHost& host);
void HandInCommand(const ToolHost& host);
// "Systemvärde..." and "Radvärden...": the row list's rows valued with the
// document's chances, streck and pool (app/tools/value_dialog.cpp,
// row_values_dialog.cpp). Only "Behåll de N bästa" changes the row list.
void SystemValueCommand(const ToolHost& host);
void RowValuesCommand(const ToolHost& host);

// Runs a tool's dialog modally, or through the test hook below.
void RunToolDialog(QDialog& dialog);

// Test hook: runs each modal dialog in place of QDialog::exec(); empty
// restores exec().
void SetModalRunner(std::function<void(QDialog& dialog)> runner);

}  // namespace spelkub::tools
