// The "Verktyg" menu's commands: "Optimerad garanti...", "Garantianalys...",
// "Rätta rader..." and "Spara för inlämning...".
//
// Each reads what it needs from the window through a ToolHost, checks it with
// the engine (a refusal is a message box and nothing changes), then opens its
// modal dialog or the save dialog. Only "Optimerad garanti" changes the
// window: the row list, Label18 and the status text.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <string_view>

#include "app/platform.h"
#include "coupon/coupon_state.h"
#include "document/coupon_document.h"

class QDialog;
class QWidget;

namespace spelkub::tools {

// What a command needs of the window, read when the command starts.
struct ToolHost {
  const CouponState& state;
  Platform& platform;
  QWidget* window;      // the dialogs' parent
  Plus13Choice plus13;  // "Dubbelvinsten?"
  // The row list's text; valid until showRows is called.
  std::string_view rowListText;
  // Puts coupon text into the row list and its number of rows into Label18.
  std::function<void(std::string_view text, int64_t rows)> showRows;
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
// "Följ kupongen...": the row list's rows against the results so far, with
// the document's values and pool (app/tools/follow_dialog.cpp). The decided
// results go back into the document.
void FollowCommand(const ToolHost& host);

// Runs a tool's dialog modally, or through the test hook below.
void RunToolDialog(QDialog& dialog);

// Test hook: runs each modal dialog in place of QDialog::exec(); empty
// restores exec().
void SetModalRunner(std::function<void(QDialog& dialog)> runner);

}  // namespace spelkub::tools
