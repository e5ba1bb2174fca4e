#include "app/tools/tools.h"

#include <QByteArray>
#include <QDialog>
#include <QFile>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/qt_text.h"
#include "app/tools/analysis_dialog.h"
#include "app/tools/grade_dialog.h"
#include "app/tools/history_dialogs.h"
#include "app/tools/optimize_dialog.h"
#include "commands/check_commands.h"
#include "commands/hand_in_command.h"
#include "commands/optimize_command.h"
#include "coupon/games.h"
#include "coupon/messages.h"
#include "text/coupon_reader.h"
#include "text/coupon_text.h"

namespace spelkub::tools {

namespace {

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

void Show(const ToolHost& host, const Refusal& refusal) {
  host.platform.ShowMessage(FromUtf8(refusal.text), FromUtf8(refusal.caption));
}

// All files as one save through the platform.
void WriteThrough(Platform& platform, std::span<const std::string> names,
                  std::span<const std::string> texts) {
  std::vector<QString> paths;
  std::vector<QByteArray> bytes;
  for (size_t file = 0; file < names.size() && file < texts.size(); ++file) {
    paths.push_back(QFile::decodeName(QByteArray::fromStdString(names[file])));
    bytes.push_back(
        QByteArray::fromRawData(texts[file].data(), static_cast<qsizetype>(texts[file].size())));
  }
  platform.WriteFiles(paths, bytes);
}

}  // namespace

void SetModalRunner(std::function<void(QDialog& dialog)> runner) {
  ModalRunner() = std::move(runner);
}

void RunToolDialog(QDialog& dialog) {
  RunModal(dialog);
}

void OptimizeCommand(const ToolHost& host) {
  if (const auto refusal = CheckMarks(host.state, host.plus13)) {
    Show(host, *refusal);
    return;
  }
  Refusable<System> system =
      ConditionedSystem(ShapeOf(host.state), ConditionInputOf(host.document), Work{});
  if (!system.value) {
    Show(host, system.refusal);
    return;
  }
  OptimizeDialog dialog(*system.value, OptimizeGuarantees(host.state), host.window);
  RunModal(dialog);
  if (!dialog.Failure().empty()) throw std::runtime_error(dialog.Failure());
  if (!dialog.Result()) return;
  const OptimizeOutcome outcome =
      OptimizeReport(host.state, host.plus13, *dialog.Result(), *system.value);
  host.showRows(outcome.rows, "Optimerad garanti");
  host.showStatus(FromUtf8(outcome.status));
  host.platform.ShowMessage(FromUtf8(outcome.report), FromUtf8(kReducedCaption));
}

void AnalysisCommand(const ToolHost& host) {
  Refusable<AnalysisInput> input = PrepareAnalysis(host.state, host.rows(), RowSource::kRowList,
                                                   ConditionInputOf(host.document));
  if (!input.value) {
    Show(host, input.refusal);
    return;
  }
  AnalysisDialog dialog(std::move(*input.value), host.window);
  dialog.UseDocumentStreck(host.document);
  dialog.Start();
  RunModal(dialog);
}

void GradeCommand(const ToolHost& host) {
  Refusable<CouponRows> coupon = RowsToCheck(host.rows(), RowSource::kRowList, kGradeCaption);
  if (!coupon.value) {
    Show(host, coupon.refusal);
    return;
  }
  const int32_t game = coupon.value->game;
  GradeDialog dialog(Rules(game).matches, std::move(coupon.value->rows), host.window);
  if (const DrawProduct* product = DrawProductOf(Rules(game).option)) {
    dialog.OfferFetch(*product, host.document.game == game ? CouponDraw(host.document) : 0,
                      net::ApiBase(""));
  }
  RunModal(dialog);
}

void HandInCommand(const ToolHost& host) {
  // The draw and the stake of a game whose form carries them come from the
  // coupon, where "Matchvärdering..." sets them (or from the rows' own
  // hand-in header, when they came from a hand-in file).
  CouponDocument current = host.document;
  SetDocumentFromCoupon(host.state, current);
  const HandInTicket ticket{.draw = CouponDraw(current), .stake = current.stake};
  const ReadResult rows = host.rows();
  if (rows.coupon && rows.coupon->draw == 0 && ticket.draw == 0) {
    const GameRules& rules = Rules(rows.coupon->game);
    if (rules.handInDrawAndStake && !rules.handInProduct.empty()) {
      Show(host, Refusal{"Ange omgången för " + std::string(rules.name) +
                             " i \"Matchvärdering...\" under Kupong.",
                         std::string(kHandInCaption)});
      return;
    }
  }
  const Refusable<HandInFiles> files =
      PrepareHandIn(rows, {.form = host.handInForm, .ticket = ticket});
  if (!files.value) {
    Show(host, files.refusal);
    return;
  }
  const std::optional<QString> path = host.platform.ChooseSaveFile(host.handInDialog.FileName);
  if (!path) return;
  host.handInDialog.FileName = *path;
  const Refusable<HandInSaved> saved = SaveHandIn(
      *files.value, QFile::encodeName(*path).toStdString(),
      [&host](std::span<const std::string> names, std::span<const std::string> texts) {
        WriteThrough(host.platform, names, texts);
      },
      [&host](const std::string& name) {
        return host.platform.ReadFile(QFile::decodeName(QByteArray::fromStdString(name)))
            .toStdString();
      });
  if (!saved.value) {
    Show(host, saved.refusal);
    return;
  }
  host.platform.ShowMessage(FromUtf8(saved.value->text), FromUtf8(kSavedMessage.caption),
                            FromUtf8(saved.value->details));
  OfferToRecord(host, *files.value, *saved.value);
}

}  // namespace spelkub::tools
