// The "Verktyg" menu's handlers: each hands the window's coupon, row list,
// Label18 and platform to its command.
#include <QLabel>

#include "app/form_building.h"
#include "app/main_window.h"
#include "app/tools/tools.h"
#include "coupon/choices.h"

spelkub::tools::ToolHost TForm1::ToolHostOf() {
  return {state_,
          platform_,
          this,
          spelkub::Plus13OfItem(RadioGroup2->ItemIndex()),
          [this] { return session_.CurrentRows([this] { return Memo1->Text(); }); },
          [this](const spelkub::RowSet& rows, std::string how) {
            ShowRows(rows, spelkub::RowsOrigin::kTool, std::move(how));
          },
          [this](const QString& text) { SetStatusText(text); },
          handInDialog_,
          document_};
}

void TForm1::Optimeradgaranti1Click() {
  spelkub::tools::OptimizeCommand(ToolHostOf());
}

void TForm1::Garantianalys1Click() {
  spelkub::tools::AnalysisCommand(ToolHostOf());
}

void TForm1::Rttarader1Click() {
  spelkub::tools::GradeCommand(ToolHostOf());
}

void TForm1::Sparafrinlmning1Click() {
  spelkub::tools::HandInCommand(ToolHostOf());
}

void TForm1::Systemvrde1Click() {
  spelkub::tools::SystemValueCommand(ToolHostOf());
}

void TForm1::Radvrden1Click() {
  spelkub::tools::RowValuesCommand(ToolHostOf());
}
