// The dialog "Villkor", offscreen through its controls: conditions added from
// the fields or typed, changed and removed; refusals shown as the engine
// words them; the live count against a plain count over the rows, also when
// edits stop a count under way; OK writes the document and Avbryt does not.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QRect>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/tools/villkor_dialog.h"
#include "commands/conditions_command.h"
#include "support/condition_counts.h"
#include "support/coupon_builder.h"
#include "support/tools_host.h"
#include "villkor/condition.h"
#include "villkor/filter.h"

namespace spelkub {
namespace {

using testing::BruteForceKept;
using testing::Settle;
using testing::SignCount;

class VillkorTest : public testing::ToolsTest {
 protected:
  // Marks the matches as given: {"1X2", "1", ...}, the rest "1".
  void MarkCoupon(const std::vector<std::string>& matches) {
    for (int m = 1; m <= 13; ++m) {
      const std::string signs = m <= static_cast<int>(matches.size()) ? matches[m - 1] : "1";
      for (char sign : signs) state.Marks[CellIndex(m, sign == '1' ? 0 : sign == 'X' ? 1 : 2)] = 1;
    }
  }

  // Runs the command; `edit` works the dialog, whose counter is driven by
  // hand, and ends it or leaves it to be cancelled.
  bool Run(const std::function<void(tools::VillkorDialog&)>& edit) {
    onDialog = [&edit](QDialog& dialog) {
      auto& villkor = dynamic_cast<tools::VillkorDialog&>(dialog);
      villkor.Counter().worker().SetMode(tools::Worker::Mode::kManual);
      dialog.show();
      edit(villkor);
    };
    return tools::VillkorCommand(Host());
  }

  template <typename Widget>
  static Widget* Find(QDialog& dialog, const char* name) {
    auto* widget = dialog.findChild<Widget*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  static QLineEdit* Field(QDialog& dialog, const char* name) {
    return Find<QLineEdit>(dialog, name);
  }
  // Replaces a field's text as a user does: select all, type.
  static void Type(QLineEdit* field, const QString& text) {
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    // QTest::keyClicks takes ASCII only.
    for (const QChar c : text) {
      QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
  }
  static void Press(QDialog& dialog, const char* button) {
    QTest::mouseClick(Find<QPushButton>(dialog, button), Qt::LeftButton);
  }
  static std::vector<std::string> Listed(QDialog& dialog) {
    std::vector<std::string> texts;
    auto* list = Find<QListWidget>(dialog, "Villkorslista");
    for (int row = 0; row < list->count(); ++row) {
      texts.push_back(list->item(row)->text().toStdString());
    }
    return texts;
  }
  static QString CountText(tools::VillkorDialog& dialog) {
    Settle(dialog.Counter());
    return Find<QLabel>(dialog, "Antal")->text();
  }
  static QString Expected(int64_t kept, int64_t total) {
    const QLocale swedish(QLocale::Swedish, QLocale::Sweden);
    return QStringLiteral("%1 av %2 rader uppfyller villkoren")
        .arg(swedish.toString(static_cast<qlonglong>(kept)),
             swedish.toString(static_cast<qlonglong>(total)));
  }
};

TEST_F(VillkorTest, ConditionsAreAddedFromTheFieldsOrTypedChangedAndRemoved) {
  MarkCoupon({"1X2", "1X2", "1X", "1X"});
  const bool written = Run([](tools::VillkorDialog& dialog) {
    auto* measure = Find<QComboBox>(dialog, "Matt");
    QLineEdit* text = Field(dialog, "Villkorstext");

    // The fields write the text: a range with both ends, one end, one number.
    measure->setCurrentIndex(measure->findText(QStringLiteral("kryss")));
    Type(Field(dialog, "Fran"), QStringLiteral("2"));
    Type(Field(dialog, "Till"), QStringLiteral("5"));
    EXPECT_EQ(text->text(), QStringLiteral("kryss 2-5"));
    Press(dialog, "LaggTill");

    measure->setCurrentIndex(measure->findText(QStringLiteral("tvåor")));
    Type(Field(dialog, "Fran"), QString());
    Type(Field(dialog, "Till"), QStringLiteral("1"));
    Type(Field(dialog, "Matcher"), QStringLiteral("1-4"));
    EXPECT_EQ(text->text(), QStringLiteral("tvåor -1 i 1-4"));
    Press(dialog, "LaggTill");

    // A whole-row measure takes no matches.
    measure->setCurrentIndex(measure->findText(QStringLiteral("spelvärde")));
    Type(Field(dialog, "Fran"), QStringLiteral("150"));
    Type(Field(dialog, "Till"), QString());
    EXPECT_FALSE(Field(dialog, "Matcher")->isEnabled());
    EXPECT_EQ(text->text(), QStringLiteral("spelvärde 150-"));

    // A typed condition sets the fields, and is kept in its shortest form.
    Type(text, QStringLiteral("skrällar  1-3 i 2,5-7,3"));
    EXPECT_EQ(measure->currentText(), QStringLiteral("skrällar"));
    EXPECT_EQ(Field(dialog, "Fran")->text(), QStringLiteral("1"));
    EXPECT_EQ(Field(dialog, "Till")->text(), QStringLiteral("3"));
    EXPECT_EQ(Field(dialog, "Matcher")->text(), QStringLiteral("2-3,5-7"));
    EXPECT_TRUE(Field(dialog, "Matcher")->isEnabled());
    // Enter in the text adds it.
    QTest::keyClick(text, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(Listed(dialog),
              (std::vector<std::string>{"kryss 2-5", "tvåor -1 i 1-4", "skrällar 1-3 i 2-3,5-7"}));

    // Selecting shows a condition in the fields; "Ändra" replaces it.
    auto* list = Find<QListWidget>(dialog, "Villkorslista");
    list->setCurrentRow(0);
    EXPECT_EQ(text->text(), QStringLiteral("kryss 2-5"));
    EXPECT_EQ(Field(dialog, "Fran")->text(), QStringLiteral("2"));
    Type(Field(dialog, "Fran"), QStringLiteral("3"));
    Press(dialog, "Andra");
    list->setCurrentRow(1);
    Press(dialog, "TaBort");
    EXPECT_EQ(Listed(dialog), (std::vector<std::string>{"kryss 3-5", "skrällar 1-3 i 2-3,5-7"}));
    list->setCurrentRow(1);
    Press(dialog, "TaBort");
    EXPECT_EQ(Listed(dialog), (std::vector<std::string>{"kryss 3-5"}));
    // Nothing selected after the last one went: nothing to change or remove.
    list->setCurrentRow(-1);
    EXPECT_FALSE(Find<QPushButton>(dialog, "Andra")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>(dialog, "TaBort")->isEnabled());
    Press(dialog, "OK");
  });
  EXPECT_TRUE(written);
  EXPECT_EQ(document.conditions, (std::vector<std::string>{"kryss 3-5"}));
}

TEST_F(VillkorTest, AConditionThatDoesNotReadIsRefusedWithTheEnginesWords) {
  MarkCoupon({"1X2"});
  document.conditions = {"ettor 2-"};
  Run([](tools::VillkorDialog& dialog) {
    auto* error = Find<QLabel>(dialog, "Fel");
    EXPECT_TRUE(error->isHidden());
    for (const char* typed :
         {"krys 2-5", "kryss 5-2", "spelvärde 150- i 1", "tvåor 1 i 14", "kryss", "poäng 4x"}) {
      std::string refusal;
      ASSERT_FALSE(ParseCondition(typed, 13, &refusal)) << typed;
      Type(Field(dialog, "Villkorstext"), QString::fromUtf8(typed));
      Press(dialog, "LaggTill");
      EXPECT_FALSE(error->isHidden()) << typed;
      EXPECT_EQ(error->text(), QString::fromStdString(refusal));
      EXPECT_TRUE(error->text().contains(QStringLiteral("Villkoret"))) << typed;
      // Neither added nor put in place of the selected one.
      Press(dialog, "Andra");
      EXPECT_EQ(Listed(dialog), std::vector<std::string>{"ettor 2-"}) << typed;
    }
    EXPECT_TRUE(Find<QLabel>(dialog, "Fel")->text().contains(QStringLiteral("\"poäng 4x\"")));
    // The next edit takes the refusal away.
    QTest::keyClick(Field(dialog, "Villkorstext"), Qt::Key_Backspace);
    EXPECT_TRUE(error->isHidden());
    dialog.reject();
  });
  EXPECT_EQ(document.conditions, std::vector<std::string>{"ettor 2-"});
}

TEST_F(VillkorTest, TheLiveCountIsThePlainCountOverTheMarkedRows) {
  MarkCoupon({"1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X", "X2", "1X", "12", "1X2"});
  const SystemShape shape = ShapeOf(state);
  ASSERT_EQ(shape.size(), 729 * 3 * 16);
  const std::vector<SignCount> conditions{
      {1, 2, 5, 0, "kryss 2-5"},
      {2, 0, 1, 0b1111, "tvåor -1 i 1-4"},
      {0, 3, 3, 0, "ettor 3"},
      {1, 1, 13, 0b1110000, "kryss 1- i 5-7"},
  };
  Run([&](tools::VillkorDialog& dialog) {
    EXPECT_EQ(CountText(dialog), Expected(shape.size(), shape.size()));
    auto* maxBroken = Find<QSpinBox>(dialog, "TillatnaFel");
    std::vector<SignCount> listed;
    for (const SignCount& condition : conditions) {
      Type(Field(dialog, "Villkorstext"), QString::fromStdString(condition.text));
      Press(dialog, "LaggTill");
      listed.push_back(condition);
      EXPECT_EQ(CountText(dialog), Expected(BruteForceKept(shape, listed, 0), shape.size()))
          << listed.size() << " conditions";
    }
    for (int broken : {1, 2, 4}) {
      maxBroken->setValue(broken);
      EXPECT_EQ(CountText(dialog), Expected(BruteForceKept(shape, listed, broken), shape.size()))
          << broken << " broken";
    }
    maxBroken->setValue(0);
    Find<QListWidget>(dialog, "Villkorslista")->setCurrentRow(0);
    Press(dialog, "TaBort");
    listed.erase(listed.begin());
    EXPECT_EQ(CountText(dialog), Expected(BruteForceKept(shape, listed, 0), shape.size()));

    // Edits while a count is under way: the count is stopped and only the
    // latest edit is counted.
    Settle(dialog.Counter());
    maxBroken->setValue(1);
    dialog.Counter().StartNow();
    ASSERT_TRUE(dialog.Counter().worker().Running());
    maxBroken->setValue(2);
    EXPECT_TRUE(dialog.Counter().worker().Cancelled());
    maxBroken->setValue(3);
    EXPECT_EQ(CountText(dialog), Expected(BruteForceKept(shape, listed, 3), shape.size()));
    dialog.reject();
  });
}

TEST_F(VillkorTest, TheCountRunsOnTheWorkerAfterTheEdits) {
  MarkCoupon(
      {"1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2"});
  const SystemShape shape = ShapeOf(state);
  onDialog = [&](QDialog& dialog) {
    auto& villkor = dynamic_cast<tools::VillkorDialog&>(dialog);
    QSignalSpy counted(&villkor.Counter(), &tools::ConditionCounter::Counted);
    dialog.show();
    Type(Field(dialog, "Villkorstext"), QStringLiteral("kryss 4-6"));
    Press(dialog, "LaggTill");
    // Typed fast: each edit restarts the wait, so the last one is counted.
    for (const char* typed : {"tvåor 2", "tvåor 2-", "tvåor 2-4"}) {
      Type(Field(dialog, "Villkorstext"), QString::fromUtf8(typed));
      Press(dialog, "Andra");
    }
    // The bound only keeps a broken count from hanging the run.
    while (villkor.Counter().Busy() || counted.isEmpty()) {
      ASSERT_TRUE(counted.wait(120000));
    }
    const std::vector<SignCount> listed{{2, 2, 4, 0, "tvåor 2-4"}};
    EXPECT_EQ(Find<QLabel>(dialog, "Antal")->text(),
              Expected(BruteForceKept(shape, listed, 0), shape.size()));
    EXPECT_TRUE(Find<QLabel>(dialog, "Antal")->isEnabled());
    dialog.reject();
  };
  EXPECT_FALSE(tools::VillkorCommand(Host()));
}

TEST_F(VillkorTest, ConditionsWithoutTheirNumbersSaySoInPlaceOfTheCount) {
  MarkCoupon({"1X2", "1X2"});
  document.conditions = {"kryss 1-", "skrällar 1-3"};
  Run([&](tools::VillkorDialog& dialog) {
    std::vector<Condition> parsed;
    for (const std::string& text : document.conditions) {
      parsed.push_back(*ParseCondition(text, 13, nullptr));
    }
    std::string missing;
    ASSERT_FALSE(PrepareConditions(parsed, 13, document.values, document.pool, &missing));
    EXPECT_EQ(CountText(dialog), QString::fromStdString(missing));
    EXPECT_TRUE(CountText(dialog).contains(QStringLiteral("behöver streck")));

    // Without it the rest is counted.
    Find<QListWidget>(dialog, "Villkorslista")->setCurrentRow(1);
    Press(dialog, "TaBort");
    const std::vector<SignCount> kept{{1, 1, 13, 0, "kryss 1-"}};
    EXPECT_EQ(CountText(dialog), Expected(BruteForceKept(ShapeOf(state), kept, 0), 9));
    dialog.reject();
  });
}

TEST_F(VillkorTest, OkWritesTheDocumentAndAvbrytLeavesIt) {
  MarkCoupon({"1X2"});
  document.conditions = {"kryss 1-"};
  document.maxBroken = 1;
  const CouponDocument before = document;
  const auto edit = [](tools::VillkorDialog& dialog) {
    Type(Field(dialog, "Villkorstext"), QStringLiteral("ettor -2 i 1-3"));
    Press(dialog, "LaggTill");
    Find<QSpinBox>(dialog, "TillatnaFel")->setValue(0);
    Find<QCheckBox>(dialog, "AnvandVillkoren")->setChecked(true);
  };
  EXPECT_FALSE(Run([&](tools::VillkorDialog& dialog) {
    edit(dialog);
    Press(dialog, "Avbryt");
  }));
  EXPECT_EQ(document.conditions, before.conditions);
  EXPECT_EQ(document.maxBroken, 1);
  EXPECT_FALSE(document.useConditions);

  EXPECT_TRUE(Run([&](tools::VillkorDialog& dialog) {
    edit(dialog);
    Press(dialog, "OK");
  }));
  EXPECT_EQ(document.conditions, (std::vector<std::string>{"kryss 1-", "ettor -2 i 1-3"}));
  EXPECT_EQ(document.maxBroken, 0);
  EXPECT_TRUE(document.useConditions);

  // The switch off, the conditions stay.
  EXPECT_TRUE(Run([](tools::VillkorDialog& dialog) {
    Find<QCheckBox>(dialog, "AnvandVillkoren")->setChecked(false);
    Press(dialog, "OK");
  }));
  EXPECT_EQ(document.conditions.size(), 2u);
  EXPECT_FALSE(document.useConditions);
}

TEST_F(VillkorTest, TheCountTakesTheConditionBeingTypedAndAddingOneUsesThem) {
  MarkCoupon({"1X2", "1X2", "1X2", "1X", "X2"});
  const SystemShape shape = ShapeOf(state);
  document.conditions = {"ettor 1-"};
  document.useConditions = false;
  const std::vector<SignCount> listed{{0, 1, 13, 0, "ettor 1-"}};
  EXPECT_TRUE(Run([&](tools::VillkorDialog& dialog) {
    auto* use = Find<QCheckBox>(dialog, "AnvandVillkoren");
    EXPECT_FALSE(use->isChecked());
    EXPECT_EQ(CountText(dialog), Expected(BruteForceKept(shape, listed, 0), shape.size()));

    // Typed, not added: counted with the listed ones, and named.
    Type(Field(dialog, "Villkorstext"), QStringLiteral("kryss  2-3"));
    std::vector<SignCount> typed = listed;
    typed.push_back({1, 2, 3, 0, "kryss 2-3"});
    EXPECT_EQ(CountText(dialog), Expected(BruteForceKept(shape, typed, 0), shape.size()) +
                                     QStringLiteral(" med \"kryss 2-3\""));
    // From the fields as well.
    Type(Field(dialog, "Till"), QStringLiteral("4"));
    typed.back() = {1, 2, 4, 0, "kryss 2-4"};
    EXPECT_EQ(CountText(dialog), Expected(BruteForceKept(shape, typed, 0), shape.size()) +
                                     QStringLiteral(" med \"kryss 2-4\""));
    // What does not read yet leaves the count of the listed ones.
    Type(Field(dialog, "Villkorstext"), QStringLiteral("kryss 2-"));
    QTest::keyClick(Field(dialog, "Villkorstext"), Qt::Key_Backspace);
    QTest::keyClick(Field(dialog, "Villkorstext"), Qt::Key_Backspace);
    EXPECT_EQ(Field(dialog, "Villkorstext")->text(), QStringLiteral("kryss "));
    EXPECT_EQ(CountText(dialog), Expected(BruteForceKept(shape, listed, 0), shape.size()));

    // Adding one means using them: the switch goes on, and the count no
    // longer names it.
    Type(Field(dialog, "Villkorstext"), QStringLiteral("kryss 2-4"));
    Press(dialog, "LaggTill");
    EXPECT_TRUE(use->isChecked());
    EXPECT_EQ(CountText(dialog), Expected(BruteForceKept(shape, typed, 0), shape.size()));
    Press(dialog, "OK");
  }));
  EXPECT_TRUE(document.useConditions);
  EXPECT_EQ(document.conditions, (std::vector<std::string>{"ettor 1-", "kryss 2-4"}));
}

TEST_F(VillkorTest, ARefusalShownOrHiddenMovesNoField) {
  MarkCoupon({"1X2"});
  Run([](tools::VillkorDialog& dialog) {
    dialog.layout()->activate();
    const auto places = [&dialog] {
      std::vector<QRect> rects;
      for (const char* name :
           {"Villkorslista", "Fran", "Till", "Villkorstext", "TillatnaFel", "OK"}) {
        rects.push_back(Find<QWidget>(dialog, name)->geometry());
      }
      return rects;
    };
    const std::vector<QRect> before = places();
    Type(Field(dialog, "Villkorstext"), QStringLiteral("krys 2-5"));
    Press(dialog, "LaggTill");
    ASSERT_FALSE(Find<QLabel>(dialog, "Fel")->isHidden());
    dialog.layout()->activate();
    EXPECT_EQ(places(), before);
    // Typing in "Från" takes the refusal away again.
    Type(Field(dialog, "Fran"), QStringLiteral("2"));
    ASSERT_TRUE(Find<QLabel>(dialog, "Fel")->isHidden());
    dialog.layout()->activate();
    EXPECT_EQ(places(), before);
    dialog.reject();
  });
}

TEST_F(VillkorTest, OkWaitsWhileAListedConditionDoesNotRead) {
  MarkCoupon({"1X2"});
  // As a hand-edited coupon file may hold it.
  document.conditions = {"kryss 1-", "tvåor 1 i 14"};
  EXPECT_TRUE(Run([](tools::VillkorDialog& dialog) {
    Press(dialog, "OK");
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(dialog.isVisible());
    std::string refusal;
    ParseCondition("tvåor 1 i 14", 13, &refusal);
    EXPECT_EQ(Find<QLabel>(dialog, "Fel")->text(), QString::fromStdString(refusal));
    Find<QListWidget>(dialog, "Villkorslista")->setCurrentRow(1);
    Press(dialog, "TaBort");
    Press(dialog, "OK");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
  }));
  EXPECT_EQ(document.conditions, std::vector<std::string>{"kryss 1-"});
}

}  // namespace
}  // namespace spelkub

namespace spelkub {
namespace {

// The live count and the commands share one pipeline: what "Generera Rader"
// refuses the count cannot count, with the same words, and a count of no row
// is a count.
TEST(ConditionCountPipeline, RefusesWhatTheCommandsRefuseInTheirWords) {
  const SystemShape shape = ShapeOf(testing::MakeCoupon(
      kStryktipset, {"1X2", "1X2", "1X2", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1"}));
  for (const auto& [conditions, maxBroken] : std::vector<std::pair<std::vector<std::string>, int>>{
           {{"kryss 1-2"}, -1}, {{"krys 2"}, 0}, {{"kryss 5-2"}, 0}, {{"favoriter 2-3"}, 0}}) {
    SCOPED_TRACE(conditions.front() + ", " + std::to_string(maxBroken));
    const ConditionInput input{conditions, maxBroken, {}, {}};
    const Refusable<System> command = ConditionedSystem(shape, input);
    ASSERT_FALSE(command.value);
    const std::optional<tools::ConditionCount> count =
        tools::CountConditionRows({shape, conditions, maxBroken, {}, {}});
    ASSERT_TRUE(count);
    EXPECT_EQ(count->error, command.refusal.text);
  }
  // "kryss 4" keeps no row of three open matches: the command refuses it,
  // the count says 0 of 27.
  const std::optional<tools::ConditionCount> none =
      tools::CountConditionRows({shape, {"kryss 4"}, 0, {}, {}});
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->error.empty());
  EXPECT_EQ(none->kept, 0);
  EXPECT_EQ(none->total, 27);
  EXPECT_EQ(ConditionedSystem(shape, {{"kryss 4"}, 0, {}, {}}).refusal.text, kNoRowKeptText);
}

}  // namespace
}  // namespace spelkub
