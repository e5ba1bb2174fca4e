#include "app/tools/value_dialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "app/qt_text.h"
#include "app/tools/tools.h"
#include "app/tools/value_chart.h"
#include "app/tools/worker.h"
#include "coupon/messages.h"

namespace spelkub::tools {

namespace {

const QString kCaption = QStringLiteral("Systemvärde");

}  // namespace

ValueInput ValueInputOf(const CouponState& state, const CouponDocument& document) {
  CouponDocument current = document;
  // The document's prize levels follow the window's game.
  SetDocumentFromCoupon(state, current);
  ValueInput input{state.Game, current.values, current.pool};
  input.stake = current.stake;
  return input;
}

QString ValueRefusalText(const ValueModelOutcome& model) {
  QString text = FromUtf8(model.refusal) + QStringLiteral(".\n");
  if (model.gap == ValueGap::kOther) {
    text += QStringLiteral("Rätta värdena i \"Matchvärdering...\" under Kupong.");
  } else {
    text += QStringLiteral(
        "Ange egna chanser, folkets streck och omsättningen i \"Matchvärdering...\" under "
        "Kupong.");
  }
  return text;
}

SystemValueDialog::SystemValueDialog(ValueInput input, std::vector<PackedRow> rows, QWidget* parent)
    : WorkerDialog(parent), input_(std::move(input)), rows_(std::move(rows)) {
  setObjectName(QStringLiteral("Systemvarde"));
  setWindowTitle(kCaption);
  setModal(true);

  status_->setWordWrap(false);
  figures_ = new QWidget(this);
  figures_->setObjectName(QStringLiteral("Siffror"));
  chart_ = new ValueChart(this);
  notes_ = new QLabel(this);
  notes_->setObjectName(QStringLiteral("Noter"));
  notes_->setWordWrap(true);
  notes_->hide();

  auto* results = new QHBoxLayout;
  results->addWidget(figures_, 0, Qt::AlignTop);
  results->addWidget(chart_, 1);

  auto* about = new QPushButton(QStringLiteral("Om värdemodellen"), this);
  about->setObjectName(QStringLiteral("OmVardemodellen"));
  about->setAutoDefault(false);
  close_ = new QPushButton(QStringLiteral("Stäng"), this);
  close_->setObjectName(QStringLiteral("Stang"));
  close_->setAutoDefault(false);
  close_->hide();
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(about);
  buttons->addStretch();
  buttons->addWidget(cancel_);
  buttons->addWidget(close_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(status_);
  layout->addWidget(bar_);
  layout->addLayout(results, 1);
  layout->addWidget(notes_);
  layout->addLayout(buttons);
  resize(980, 440);

  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
  connect(about, &QPushButton::clicked, this, &SystemValueDialog::ShowModelHelp);
}

// The worker joins its thread before the rows it reads go away.
SystemValueDialog::~SystemValueDialog() {
  JoinWorker();
}

void SystemValueDialog::Start() {
  Run([this](const Work& work) { output_ = RunSystemValueCommand(input_, rows_, work); },
      QStringLiteral("Räknar värdet av %1 över alla utfall...")
          .arg(FromUtf8(RowCountText(rows_.size()))));
}

QLabel* SystemValueDialog::FigureLabel(const std::string& key) const {
  const auto found = figureLabels_.find(key);
  return found == figureLabels_.end() ? nullptr : found->second;
}

void SystemValueDialog::Finished() {
  cancel_->hide();
  close_->show();
  close_->setDefault(true);
  bar_->hide();
  if (!Failure().empty()) {
    status_->setText(FailureText());
    return;
  }
  if (!output_.model.model) {
    status_->setText(ValueRefusalText(output_.model));
    return;
  }
  if (!output_.value) return;
  shown_ = std::move(output_);
  status_->setText(QStringLiteral("Exakt över alla %1 utfall.")
                       .arg(QLocale(QLocale::Swedish)
                                .toString(std::pow(3.0, shown_.model.model->matches), 'f', 0)));

  auto* grid = new QGridLayout(figures_);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setHorizontalSpacing(12);
  int row = 0;
  for (const ValueFigure& figure : shown_.figures) {
    // Gaps between the groups: the rows, the chances, the likeliest outcome, the return.
    if (figure.key == "likeliest" || figure.key == "expected_return_kr" ||
        (figure.key.starts_with('p') && row == 2)) {
      grid->setRowMinimumHeight(row++, fontMetrics().height() / 2);
    }
    auto* label = new QLabel(FromUtf8(figure.label) + QStringLiteral(":"), figures_);
    auto* value = new QLabel(FromUtf8(figure.text), figures_);
    value->setObjectName(FromUtf8(figure.key));
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (figure.key == "return_ore_per_row") {
      QFont bold = value->font();
      bold.setBold(true);
      value->setFont(bold);
      label->setFont(bold);
    }
    grid->addWidget(label, row, 0);
    grid->addWidget(value, row, 1);
    figureLabels_[figure.key] = value;
    ++row;
  }
  grid->setRowStretch(row, 1);

  const SystemValue& value = *shown_.value;
  ValueChart::Series series;
  series.edges = PayoutEdges(*shown_.model.model);
  series.topRight = shown_.model.model->matches;
  series.chance = value.chanceByPayout;
  series.publicShare = value.publicByPayout;
  for (const int64_t count : value.rowsByPayout) {
    series.rows.push_back(value.rows > 0 ? static_cast<double>(count) / value.rows : 0.0);
  }
  chart_->SetSeries(std::move(series));

  const QString notes = FromUtf8(shown_.model.notes).trimmed();
  notes_->setText(notes);
  notes_->setVisible(!notes.isEmpty());
}

void SystemValueDialog::ShowModelHelp() {
  if (help_ == nullptr) {
    help_ = new QDialog(this);
    help_->setObjectName(QStringLiteral("OmVardemodellenText"));
    help_->setWindowTitle(QStringLiteral("Om värdemodellen"));
    auto* text = new QPlainTextEdit(help_);
    text->setObjectName(QStringLiteral("Text"));
    text->setReadOnly(true);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text->setPlainText(FromUtf8(ValueModelHelpText()));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, help_);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Stäng"));
    connect(buttons, &QDialogButtonBox::rejected, help_, &QDialog::reject);
    auto* layout = new QVBoxLayout(help_);
    layout->addWidget(text);
    layout->addWidget(buttons);
    help_->resize(760, 520);
  }
  help_->show();
  help_->raise();
}

void SystemValueCommand(const ToolHost& host) {
  ValueRows read = ValueRowsOf(host.rows(), host.state.Game);
  if (!read.rows) {
    host.platform.ShowMessage(FromUtf8(read.refusal), kCaption);
    return;
  }
  const ValueInput input = ValueInputOf(host.state, host.document);
  const ValueModelOutcome model = MakeCommandModel(input);
  if (!model.model) {
    host.platform.ShowMessage(ValueRefusalText(model), kCaption);
    return;
  }
  SystemValueDialog dialog(input, std::move(*read.rows), host.window);
  dialog.Start();
  RunToolDialog(dialog);
}

}  // namespace spelkub::tools
