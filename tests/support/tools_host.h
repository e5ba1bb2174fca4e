// A ToolHost for the tools' tests: a coupon, a row list kept as a string, the
// recording fake platform, and each modal dialog handed to the test instead
// of being run.
#pragma once

#include <gtest/gtest.h>
#include <QApplication>
#include <QDialog>
#include <QSignalSpy>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/tools/tools.h"
#include "app/tools/worker.h"
#include "coupon/coupon_state.h"
#include "support/fake_platform.h"
#include "text/coupon_reader.h"
#include "text/coupon_text.h"

namespace spelkub::testing {

class ToolsTest : public ::testing::Test, protected WithApplication {
 protected:
  struct Shown {
    std::string text;
    int64_t rows;
  };

  ToolsTest() {
    tools::SetModalRunner([this](QDialog& dialog) {
      ++dialogsRun;
      if (onDialog) onDialog(dialog);
    });
  }
  ~ToolsTest() override { tools::SetModalRunner(nullptr); }

  tools::ToolHost Host() {
    return {state, platform, nullptr, plus13,
            // The tools' tests keep the row list as text the player typed:
            // every tool reads it back.
            [this] { return ReadCouponText(rowList); },
            [this](const RowSet& rows, const std::string& /*how*/) {
              rowList = CouponText(rows);
              shown.push_back({rowList, rows.size()});
            },
            [this](const QString& text) { status.push_back(text); }, handInDialog, document};
  }

  // Waits for the worker's job to end: as long as the work takes, no longer.
  // One recorded box, as the tests compare them.
  static std::vector<Box> OneBox(const QString& text, const QString& caption) {
    return {Box{text, caption}};
  }

  // Runs `command` on the row list, which the reader refuses: its message
  // is shown and nothing else happens.
  void ExpectReaderRefusal(void (*command)(const tools::ToolHost&)) {
    const ReadResult read = ReadCouponText(rowList);
    ASSERT_FALSE(read.coupon) << "the row list was read";
    const std::string before = rowList;
    command(Host());
    EXPECT_EQ(platform.messages,
              OneBox(QString::fromStdString(read.error), QStringLiteral("Felaktig rad!")));
    EXPECT_EQ(dialogsRun, 0);
    EXPECT_TRUE(platform.writes.empty());
    EXPECT_EQ(rowList, before);
  }

  // The bound only keeps a broken engine from hanging the run.
  static bool WaitFor(tools::Worker& worker) {
    if (!worker.Running()) return true;
    QSignalSpy finished(&worker, &tools::Worker::Finished);
    return finished.wait(120000);
  }

  CouponState state;
  FakePlatform platform;
  Plus13Choice plus13 = kPlus13No;
  std::string rowList = "Dina Rader:\r\n";
  std::vector<Shown> shown;
  // Every status text a command set, in order.
  std::vector<QString> status;
  SaveDialog handInDialog;
  CouponDocument document;
  int dialogsRun = 0;
  // Called with each dialog in place of running it modally.
  std::function<void(QDialog&)> onDialog;
};

}  // namespace spelkub::testing
