// The history's items at the end of the "Kupong" menu: "Bokför spelad
// kupong...", "Rätta spelad omgång..." and "Mina omgångar...", each bound
// with the window's guard to its command (app/tools/history_dialogs.h); and
// in "Verktyg" the choice of M lines for "Spara för inlämning...".
#include <QAction>
#include <QMenu>

#include "app/main_window.h"
#include "app/tools/history_dialogs.h"

void TForm1::BuildHistoryItems() {
  const auto add = [this](const QString& name, const QString& caption,
                          void (*command)(const spelkub::tools::ToolHost&)) {
    QAction* action = Kupong1->addAction(caption);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, [this, name, command] {
      Guard(name.toStdString() + "Click", [this, command] { command(ToolHostOf()); });
    });
  };
  // The hand-in's form, beside "Spara för inlämning...".
  QAction* mLines = Verktyg1->addAction(QStringLiteral("M-rader vid inlämning"));
  mLines->setObjectName(QStringLiteral("Mrader1"));
  mLines->setCheckable(true);
  Kupong1->addSeparator()->setObjectName(QStringLiteral("N3"));
  add(QStringLiteral("Bokfrspeladkupong1"), QStringLiteral("Bokför spelad kupong..."),
      spelkub::tools::RecordPlayedCommand);
  add(QStringLiteral("Rttaspeladomgng1"), QStringLiteral("Rätta spelad omgång..."),
      spelkub::tools::SettleCommand);
  add(QStringLiteral("Minaomgngar1"), QStringLiteral("Mina omgångar..."),
      spelkub::tools::HistoryCommand);
}
