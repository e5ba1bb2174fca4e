// The main menu: its entries and items with their component names. The
// handlers of the items are bound with the other events.
#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "app/main_window.h"
#include "app/qt_text.h"
#include "coupon/games.h"

void TForm1::BuildMenu() {
  MainMenu1 = new QMenuBar(this);
  MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
  setMenuBar(MainMenu1);

  const auto addMenu = [this](const QString& name, const QString& caption) {
    QMenu* menu = MainMenu1->addMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    return menu;
  };
  const auto addItem = [](QMenu* menu, const QString& name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
  };
  jhjhg1 = addMenu(QStringLiteral("jhjhg1"), QStringLiteral("Kontakt"));
  Skickaettmail1 =
      addItem(jhjhg1, QStringLiteral("Skickaettmail1"), QStringLiteral("Skicka ett mail"));
  bjkjkkj1 = addMenu(QStringLiteral("bjkjkkj1"), QStringLiteral("Info"));
  GtillSpelkubsidan1 = addItem(bjkjkkj1, QStringLiteral("GtillSpelkubsidan1"),
                               QStringLiteral("Gå till Spelkub sidan"));
  GtillSpelkubFORUM1 = addItem(bjkjkkj1, QStringLiteral("GtillSpelkubFORUM1"),
                               QStringLiteral("Gå till Spelkub FORUM"));
  Lmnainrader1 = addMenu(QStringLiteral("Lmnainrader1"), QStringLiteral("Lämna in rader"));
  GtillSvenskaSpel1 = addItem(Lmnainrader1, QStringLiteral("GtillSvenskaSpel1"),
                              QStringLiteral("Gå till Svenska Spel"));
  GtillUnibet1 =
      addItem(Lmnainrader1, QStringLiteral("GtillUnibet1"), QStringLiteral("Gå till Unibet"));
  Verktyg1 = addMenu(QStringLiteral("Verktyg1"), QStringLiteral("Verktyg"));
  Optimeradgaranti1 = addItem(Verktyg1, QStringLiteral("Optimeradgaranti1"),
                              QStringLiteral("Optimerad garanti..."));
  Garantianalys1 =
      addItem(Verktyg1, QStringLiteral("Garantianalys1"), QStringLiteral("Garantianalys..."));
  Rttarader1 = addItem(Verktyg1, QStringLiteral("Rttarader1"), QStringLiteral("Rätta rader..."));
  Sparafrinlmning1 = addItem(Verktyg1, QStringLiteral("Sparafrinlmning1"),
                             QStringLiteral("Spara för inlämning..."));
  // The value tools, after the items above; bound here with the same guard.
  Systemvrde1 = addItem(Verktyg1, QStringLiteral("Systemvrde1"), QStringLiteral("Systemvärde..."));
  Radvrden1 = addItem(Verktyg1, QStringLiteral("Radvrden1"), QStringLiteral("Radvärden..."));
  connect(Systemvrde1, &QAction::triggered, this,
          [this] { Guard("Systemvrde1Click", [this] { Systemvrde1Click(); }); });
  connect(Radvrden1, &QAction::triggered, this,
          [this] { Guard("Radvrden1Click", [this] { Radvrden1Click(); }); });
  Kupong1 = addMenu(QStringLiteral("Kupong1"), QStringLiteral("Kupong"));
  ppnakupong1 = addItem(Kupong1, QStringLiteral("ppnakupong1"), QStringLiteral("Öppna kupong..."));
  Sparakupong1 =
      addItem(Kupong1, QStringLiteral("Sparakupong1"), QStringLiteral("Spara kupong..."));
  N1 = Kupong1->addSeparator();
  N1->setObjectName(QStringLiteral("N1"));
  Matchvrdering1 =
      addItem(Kupong1, QStringLiteral("Matchvrdering1"), QStringLiteral("Matchvärdering..."));
  Villkor1 = addItem(Kupong1, QStringLiteral("Villkor1"), QStringLiteral("Villkor..."));
  // Following the coupon while its matches are played; bound here.
  Fljkupongen1 =
      addItem(Kupong1, QStringLiteral("Fljkupongen1"), QStringLiteral("Följ kupongen..."));
  connect(Fljkupongen1, &QAction::triggered, this,
          [this] { Guard("Fljkupongen1Click", [this] { Fljkupongen1Click(); }); });
  BuildGameMenu();
  // This week's draw from the operator's service (app/draw_commands.cpp).
  N2 = Kupong1->addSeparator();
  N2->setObjectName(QStringLiteral("N2"));
  Hmtaomgng1 = addItem(Kupong1, QStringLiteral("Hmtaomgng1"), QStringLiteral("Hämta omgång..."));
  Uppdaterastreck1 =
      addItem(Kupong1, QStringLiteral("Uppdaterastreck1"), QStringLiteral("Uppdatera streck"));
  // Rows chosen by value (app/tools/select_menu.cpp); bound here with the same guard.
  Vrdereducering1 =
      addItem(Kupong1, QStringLiteral("Vrdereducering1"), QStringLiteral("Värdereducering..."));
  connect(Vrdereducering1, &QAction::triggered, this,
          [this] { Guard("Vrdereducering1Click", [this] { Vrdereducering1Click(); }); });
  BuildHistoryItems();
}

// "Spel" under "Kupong": the games of the table that "Välj spel:" does not
// offer. At most one is checked: the one in play, if it is one of them.
void TForm1::BuildGameMenu() {
  Spel1 = Kupong1->addMenu(QStringLiteral("Spel"));
  Spel1->setObjectName(QStringLiteral("Spel1"));
  Spel1->menuAction()->setObjectName(QStringLiteral("Spel1"));
  const std::span<const spelkub::GameRules> games = spelkub::Games();
  for (const spelkub::GameRules& rules : games.subspan(spelkub::SelectorGames().size())) {
    QString name = spelkub::FromUtf8(rules.name);
    name.remove(QLatin1Char(' '));
    QAction* item = Spel1->addAction(spelkub::FromUtf8(rules.name));
    item->setObjectName(name + QStringLiteral("1"));
    item->setCheckable(true);
    item->setData(static_cast<int>(rules.game));
    const int32_t game = rules.game;
    connect(item, &QAction::triggered, this,
            [this, game] { Guard("ChooseMenuGame", [this, game] { ChooseMenuGame(game); }); });
    GameItems.push_back(item);
  }
  Spel1->menuAction()->setVisible(!GameItems.empty());
}
