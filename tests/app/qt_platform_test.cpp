// The Qt platform layer's boxes and the toolkit's translations, built
// offscreen and inspected without being shown.
#include "app/qt_platform.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTextDocument>
#include <algorithm>

#include "io/save_file.h"
#include "support/fake_platform.h"

namespace spelkub {
namespace {

QLabel* TextLabel(const QMessageBox& box) {
  return box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
}

TEST(MessageBoxTest, ShowsMarkupInAFileNameAsPlainText) {
  testing::TestApplication();
  const QString text =
      QStringLiteral("Cannot create file \"/tmp/<b>rader</b>.txt\". Permission denied");
  ASSERT_TRUE(Qt::mightBeRichText(text));  // what Qt would have guessed
  for (const QMessageBox::Icon icon : {QMessageBox::NoIcon, QMessageBox::Critical}) {
    const auto box = NewMessageBox(icon, text, QStringLiteral("Spelkub_lite"));
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    const QLabel* label = TextLabel(*box);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_EQ(label->text(), text);
  }
}

TEST(MessageBoxTest, HasTheCaptionTheIconAndOneOkButton) {
  testing::TestApplication();
  const auto message = NewMessageBox(
      QMessageBox::NoIcon, QStringLiteral("Dina rader är nu sparade!!"), QStringLiteral("SPARAT"));
  EXPECT_EQ(message->windowTitle(), QStringLiteral("SPARAT"));
  EXPECT_EQ(message->text(), QStringLiteral("Dina rader är nu sparade!!"));
  EXPECT_EQ(message->icon(), QMessageBox::NoIcon);
  EXPECT_EQ(message->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));

  const auto error = NewMessageBox(QMessageBox::Critical, QStringLiteral("Stream write error"),
                                   QStringLiteral("Spelkub_lite"));
  EXPECT_EQ(error->icon(), QMessageBox::Critical);
  EXPECT_EQ(error->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
}

// A long list goes behind the box's details button, so that the box keeps a
// height that fits the screen.
TEST(MessageBoxTest, KeepsALongListInItsDetails) {
  testing::TestApplication();
  QStringList names;
  for (int k = 3; k <= 475; ++k) names << QStringLiteral("rader-%1.txt").arg(k);
  const auto box = NewMessageBox(QMessageBox::NoIcon, QStringLiteral("2 filer sparade."),
                                 QStringLiteral("SPARAT"), names.join(QStringLiteral("\n")));
  EXPECT_EQ(box->text(), QStringLiteral("2 filer sparade."));
  EXPECT_EQ(box->detailedText(), names.join(QStringLiteral("\n")));
  EXPECT_LT(box->sizeHint().height(), 600);
  EXPECT_EQ(
      NewMessageBox(QMessageBox::NoIcon, QStringLiteral("a"), QStringLiteral("b"))->detailedText(),
      QString());
}

// The window's saves go through the engine's file layer and show its
// Swedish reasons.
TEST(QtPlatformTest, AFailedSaveNamesTheFileAndTheReasonInSwedish) {
  if (!QFile::exists(QStringLiteral("/dev/full"))) GTEST_SKIP() << "no /dev/full";
  QtPlatform platform;
  try {
    platform.WriteFile(QStringLiteral("/dev/full"), QByteArrayLiteral("Stryktipset\r\n"));
    ADD_FAILURE() << "the write went through";
  } catch (const SaveError& error) {
    EXPECT_EQ(std::string(error.what()), "Kan inte skriva filen \"/dev/full\": disken är full.");
  }
}

// Qt's own Swedish catalogue must be installed (Debian: qt6-translations-l10n).
class SwedishToolkitTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    testing::TestApplication();
    installed_ = InstallToolkitTranslations(QLocale(QLocale::Swedish, QLocale::Sweden));
  }
  void SetUp() override { ASSERT_TRUE(installed_) << "no Swedish translations of Qt installed"; }

  static QStringList ButtonTexts(const QWidget& parent) {
    QStringList texts;
    for (const QDialogButtonBox* buttons : parent.findChildren<QDialogButtonBox*>()) {
      for (const QAbstractButton* button : buttons->buttons()) texts << button->text();
    }
    std::sort(texts.begin(), texts.end());
    return texts;
  }

  static bool installed_;
};

bool SwedishToolkitTest::installed_ = false;

TEST_F(SwedishToolkitTest, TranslatesTheStandardButtonTexts) {
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Avbryt"));
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Save"), QStringLiteral("Spara"));
  QDialogButtonBox buttons(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
  EXPECT_EQ(buttons.button(QDialogButtonBox::Save)->text(), QStringLiteral("Spara"));
  EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Avbryt"));
}

TEST_F(SwedishToolkitTest, TheSaveDialogSpeaksSwedish) {
  const std::unique_ptr<QFileDialog> dialog = NewSaveDialog(QString());
  EXPECT_EQ(ButtonTexts(*dialog),
            (QStringList{QStringLiteral("&Spara"), QStringLiteral("Avbryt")}));
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Spara som"));
}

}  // namespace
}  // namespace spelkub
