// The history's items at the end of the "Kupong" menu: "Bokför spelad
// kupong...", "Rätta spelad omgång..." and "Mina omgångar...", each bound
// with the window's guard to its command (app/tools/history_dialogs.h).
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
  Kupong1->addSeparator()->setObjectName(QStringLiteral("N2"));
  add(QStringLiteral("Bokfrspeladkupong1"), QStringLiteral("Bokför spelad kupong..."),
      spelkub::tools::RecordPlayedCommand);
  add(QStringLiteral("Rttaspeladomgng1"), QStringLiteral("Rätta spelad omgång..."),
      spelkub::tools::SettleCommand);
  add(QStringLiteral("Minaomgngar1"), QStringLiteral("Mina omgångar..."),
      spelkub::tools::HistoryCommand);
}
