#include "app/tools/tools.h"

#include <QByteArray>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/qt_text.h"
#include "app/tools/analysis_dialog.h"
#include "app/tools/dialog_parts.h"
#include "app/tools/grade_dialog.h"
#include "app/tools/optimize_dialog.h"
#include "coupon/messages.h"
#include "handin/handin.h"
#include "io/save_file.h"
#include "text/coupon_reader.h"
#include "text/coupon_text.h"

namespace spelkub::tools {

namespace {

const QString kRowErrorCaption = QStringLiteral("Felaktig rad!");
const QString kAnalysisCaption = QStringLiteral("Garantianalys");
const QString kGradeCaption = QStringLiteral("Rätta rader");
const QString kHandInCaption = QStringLiteral("Spara för inlämning");
const QString kNoRows = QStringLiteral("Radlistan har inga rader.");

std::function<void(QDialog&)>& ModalRunner() {
  static std::function<void(QDialog&)> runner;
  return runner;
}

void RunModal(QDialog& dialog) {
  if (ModalRunner()) {
    ModalRunner()(dialog);
  } else {
    dialog.exec();
  }
}

// The checks of "Generera Rader", with their messages, for what a tool reads:
// the marks, and the 13plus choice when the tool writes a header line. The
// reduction settings are not the tools' business.
bool CouponAccepted(const ToolHost& host, bool withHeader) {
  CouponState state = host.state;
  state.Reduction = kReductionNone;
  const auto failure = ValidateCoupon(state, withHeader ? host.plus13Index : kPlus13No);
  if (!failure) return true;
  host.platform.ShowMessage(FromUtf8(failure->message.text), FromUtf8(failure->message.caption));
  return false;
}

// The row list's rows; its text unreadable is the reader's message.
std::optional<CouponRows> ReadRowList(const ToolHost& host) {
  ReadResult read = ReadCouponText(host.rowListText);
  if (!read.coupon) {
    host.platform.ShowMessage(FromUtf8(read.error), kRowErrorCaption);
    return std::nullopt;
  }
  return std::move(read.coupon);
}

int MatchesOf(const CouponRows& coupon) {
  return MatchesInPlay(coupon.game);
}

// Header line, then the rows, as generation writes them.
std::string RowsText(const ToolHost& host, std::vector<PackedRow> rows) {
  RowSet set;
  set.game = host.state.Game;
  set.matches = MatchesInPlay(host.state.Game);
  set.header = HeaderLine(host.state, host.plus13Index);
  set.rows = std::move(rows);
  return CouponText(set);
}

QString FileName(const std::string& path) {
  return QFileInfo(QFile::decodeName(QByteArray::fromStdString(path))).fileName();
}

// All files as one save, so that a failure never leaves a set of new and old
// files that looks complete; the error says which files were saved, in the
// engine's words.
void WriteHandInFiles(Platform& platform, const std::vector<std::string>& names,
                      const std::vector<std::string>& texts) {
  std::vector<QString> paths;
  std::vector<QByteArray> bytes;
  for (size_t file = 0; file < names.size() && file < texts.size(); ++file) {
    paths.push_back(QFile::decodeName(QByteArray::fromStdString(names[file])));
    bytes.push_back(
        QByteArray::fromRawData(texts[file].data(), static_cast<qsizetype>(texts[file].size())));
  }
  try {
    platform.WriteFiles(paths, bytes);
  } catch (const SaveFilesError& error) {
    if (names.size() == 1) throw SaveError(error.what());
    throw SaveError(HandInSaveFailure(error.what(), error.named(), names.size()));
  }
}

int ProposedLevel(const CouponState& state) {
  const int matches = MatchesInPlay(state.Game);
  if (state.GuaranteeLevel >= 4 && state.GuaranteeLevel <= matches) return state.GuaranteeLevel;
  return matches - 1;
}

}  // namespace

void SetModalRunner(std::function<void(QDialog& dialog)> runner) {
  ModalRunner() = std::move(runner);
}

void OptimizeCommand(const ToolHost& host) {
  if (!CouponAccepted(host, true)) return;
  OptimizeDialog dialog(ShapeOf(host.state), ProposedLevel(host.state), host.window);
  RunModal(dialog);
  if (!dialog.Failure().empty()) throw std::runtime_error(dialog.Failure());
  const std::optional<OptimizeResult>& result = dialog.Result();
  if (!result) return;
  host.showRows(RowsText(host, result->rows), static_cast<int64_t>(result->rows.size()));
  // The status bar would otherwise still tell of the last "Generera Rader".
  host.showStatus(result->stopped ? QStringLiteral("Optimerad garanti stoppad!")
                                  : QStringLiteral("Optimerad garanti klar!"));
  const QString rows = FromUtf8(RowCountText(result->rows.size()));
  QString report;
  if (result->stopped) {
    report = QStringLiteral("Sökningen stoppades. Bästa hittills: %1 med %2 rätts garanti")
                 .arg(rows)
                 .arg(result->guarantee);
  } else {
    report = QStringLiteral("Optimerad garanti: %1 med %2 rätts garanti")
                 .arg(rows)
                 .arg(result->guarantee);
  }
  // A search stopped early may not have come as far as the greedy rows.
  if (result->greedyRows > 0) {
    report += QStringLiteral(" (Garanti ger %1)")
                  .arg(FromUtf8(RowCountText(static_cast<size_t>(result->greedyRows))));
  }
  report += QStringLiteral(".");
  // The search may have found fewer rows with more time.
  if (result->timeCapped) report += QStringLiteral("\nSökningen kortades av tidsgränsen.");
  host.platform.ShowMessage(report, QStringLiteral("Reducering"));
}

void AnalysisCommand(const ToolHost& host) {
  if (!CouponAccepted(host, false)) return;
  std::optional<CouponRows> coupon = ReadRowList(host);
  if (!coupon) return;
  if (coupon->rows.empty()) {
    host.platform.ShowMessage(kNoRows, kAnalysisCaption);
    return;
  }
  const SystemShape shape = ShapeOf(host.state);
  if (MatchesOf(*coupon) != shape.matches) {
    host.platform.ShowMessage(QStringLiteral("Raderna har %1 matcher men kupongen %2.")
                                  .arg(MatchesOf(*coupon))
                                  .arg(shape.matches),
                              kAnalysisCaption);
    return;
  }
  AnalysisDialog dialog(shape, std::move(coupon->rows),
                        std::vector<int64_t>(coupon->lines.begin(), coupon->lines.end()),
                        host.window);
  dialog.UseDocumentStreck(host.document);
  dialog.Start();
  RunModal(dialog);
}

void GradeCommand(const ToolHost& host) {
  std::optional<CouponRows> coupon = ReadRowList(host);
  if (!coupon) return;
  if (coupon->rows.empty()) {
    host.platform.ShowMessage(kNoRows, kGradeCaption);
    return;
  }
  GradeDialog dialog(MatchesOf(*coupon), std::move(coupon->rows), host.window);
  RunModal(dialog);
}

void HandInCommand(const ToolHost& host) {
  std::optional<CouponRows> coupon = ReadRowList(host);
  if (!coupon) return;
  const std::span<const PackedRow> rows(coupon->rows);
  if (rows.empty()) {
    host.platform.ShowMessage(FromUtf8(kNoRowsRefusal), kHandInCaption);
    return;
  }
  // The files' texts before the save dialog, so a refusal asks for no name.
  const auto perFile = static_cast<size_t>(kHandInRowsPerFile);
  std::vector<std::string> texts;
  try {
    for (size_t begin = 0; begin < rows.size(); begin += perFile) {
      texts.push_back(
          HandInText(coupon->game, rows.subspan(begin, std::min(perFile, rows.size() - begin))));
    }
  } catch (const HandInRefused& refusal) {
    host.platform.ShowMessage(QString::fromUtf8(refusal.what()), kHandInCaption);
    return;
  }

  const std::optional<QString> path = host.platform.ChooseSaveFile(host.handInDialog.FileName);
  if (!path) return;
  host.handInDialog.FileName = *path;
  const std::string target = QFile::encodeName(*path).toStdString();
  const auto rowCount = static_cast<int64_t>(rows.size());
  try {
    CheckHandInTarget(target, rowCount);
  } catch (const HandInRefused& refusal) {
    host.platform.ShowMessage(QString::fromUtf8(refusal.what()), kHandInCaption);
    return;
  }
  const std::vector<std::string> names = HandInFileNames(target, rowCount);
  WriteHandInFiles(host.platform, names, texts);

  QString text =
      names.size() == 1
          ? QStringLiteral("1 fil sparad för inlämning: %1.").arg(FileName(names.front()))
          : QStringLiteral("%1 filer sparade för inlämning: %2 till %3.")
                .arg(names.size())
                .arg(FileName(names.front()), FileName(names.back()));
  // The box names a few of the old files and keeps its height; the details
  // list them all.
  QString details;
  const std::vector<std::string> leftovers = LeftoverHandInFiles(target, rowCount);
  if (!leftovers.empty()) {
    constexpr size_t kNamedInText = 5;
    QStringList named;
    QStringList all;
    for (const std::string& name : leftovers) {
      all << FileName(name);
      if (named.size() < static_cast<qsizetype>(kNamedInText)) named << FileName(name);
    }
    QString list = named.join(QStringLiteral(", "));
    if (leftovers.size() > kNamedInText) {
      list += QStringLiteral(" … och %1 till").arg(leftovers.size() - kNamedInText);
      details =
          QStringLiteral("Äldre filer som inte ska lämnas in:\n") + all.join(QStringLiteral("\n"));
    }
    text += QStringLiteral("\nObs! Äldre filer ligger kvar och ska inte lämnas in: %1.").arg(list);
  }
  if (coupon->plus13) text += QStringLiteral("\n") + FromUtf8(kPlus13Note);
  host.platform.ShowMessage(text, QStringLiteral("SPARAT"), details);
}

}  // namespace spelkub::tools
