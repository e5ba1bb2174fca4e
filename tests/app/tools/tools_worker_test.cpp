// The worker that runs the tools' engine calls: the job runs off the calling
// thread, its reports arrive in order on the user-interface thread, the last
// one before Finished, and the stop reaches the job.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QThread>
#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "app/tools/worker.h"
#include "app/tools/worker_dialog.h"
#include "support/fake_platform.h"

namespace spelkub::tools {
namespace {

class WorkerTest : public ::testing::Test, protected testing::WithApplication {
 protected:
  // Collects the reports delivered on the user-interface thread.
  void Record(Worker& worker) {
    QObject::connect(&worker, &Worker::Progress, [this](double fraction, qint64 value) {
      EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
      fractions.push_back(fraction);
      values.push_back(value);
    });
    QObject::connect(&worker, &Worker::Finished, [this] { reportsAtFinish = values.size(); });
  }
  static bool WaitFor(Worker& worker) {
    if (!worker.Running()) return true;
    QSignalSpy finished(&worker, &Worker::Finished);
    return finished.wait(60000);
  }

  std::vector<double> fractions;
  std::vector<qint64> values;
  size_t reportsAtFinish = 0;
};

TEST_F(WorkerTest, RunsTheJobOnAnotherThreadAndFinishesOnThisOne) {
  Worker worker;
  std::thread::id jobThread;
  bool ran = false;
  worker.Start([&](const Work&) {
    jobThread = std::this_thread::get_id();
    ran = true;
  });
  EXPECT_TRUE(worker.Running());
  ASSERT_TRUE(WaitFor(worker));
  EXPECT_FALSE(worker.Running());
  EXPECT_TRUE(ran);
  EXPECT_NE(jobThread, std::this_thread::get_id());
}

TEST_F(WorkerTest, DeliversTheLastReportBeforeFinished) {
  Worker worker;
  Record(worker);
  constexpr int kReports = 200000;
  worker.Start([&](const Work& work) {
    for (int i = 1; i <= kReports; ++i) {
      work.Best(i);
      work.Fraction(static_cast<double>(i) / kReports);
    }
  });
  ASSERT_TRUE(WaitFor(worker));
  ASSERT_FALSE(values.empty());
  EXPECT_EQ(reportsAtFinish, values.size());
  EXPECT_EQ(values.back(), kReports);
  EXPECT_DOUBLE_EQ(fractions.back(), 1.0);
}

TEST_F(WorkerTest, ThrottlesReportsAndKeepsTheirOrder) {
  Worker worker;
  Record(worker);
  constexpr int kReports = 200000;
  worker.Start([&](const Work& work) {
    for (int i = 1; i <= kReports; ++i) work.Best(i);
  });
  ASSERT_TRUE(WaitFor(worker));
  // Each delivery shows the latest value; far fewer than were reported.
  EXPECT_LT(values.size(), static_cast<size_t>(kReports) / 10);
  for (size_t i = 1; i < values.size(); ++i) EXPECT_LT(values[i - 1], values[i]);
}

TEST_F(WorkerTest, CancelRaisesTheStopThatTheJobPolls) {
  Worker worker;
  std::atomic<bool> started = false;
  worker.Start([&](const Work& work) {
    started = true;
    while (!work.Stopped()) std::this_thread::yield();
  });
  while (!started) std::this_thread::yield();
  worker.Cancel();
  EXPECT_TRUE(worker.Cancelled());
  ASSERT_TRUE(WaitFor(worker));
  EXPECT_FALSE(worker.Running());
}

TEST_F(WorkerTest, DestroyingItStopsAndJoinsARunningJob) {
  std::atomic<bool> ended = false;
  {
    Worker worker;
    worker.Start([&](const Work& work) {
      while (!work.Stopped()) std::this_thread::yield();
      ended = true;
    });
  }
  EXPECT_TRUE(ended);
}

TEST_F(WorkerTest, StartsAfreshAfterACancelledJob) {
  Worker worker;
  worker.Start([](const Work& work) {
    while (!work.Stopped()) std::this_thread::yield();
  });
  worker.Cancel();
  ASSERT_TRUE(WaitFor(worker));
  bool sawStop = true;
  worker.Start([&](const Work& work) { sawStop = work.Stopped(); });
  ASSERT_TRUE(WaitFor(worker));
  EXPECT_FALSE(sawStop);
}

TEST_F(WorkerTest, AnErrorInTheJobIsKeptForTheUserInterfaceThread) {
  Worker worker;
  worker.Start([](const Work&) { throw std::runtime_error("Minnet tog slut."); });
  ASSERT_TRUE(WaitFor(worker));
  EXPECT_EQ(worker.Failure(), "Minnet tog slut.");
  worker.Start([](const Work&) {});
  ASSERT_TRUE(WaitFor(worker));
  EXPECT_EQ(worker.Failure(), "");
}

TEST_F(WorkerTest, StartsNothingWhileAJobRuns) {
  Worker worker;
  worker.Start([](const Work& work) {
    while (!work.Stopped()) std::this_thread::yield();
  });
  bool secondRan = false;
  EXPECT_FALSE(worker.Start([&](const Work&) { secondRan = true; }));
  worker.Cancel();
  ASSERT_TRUE(WaitFor(worker));
  EXPECT_FALSE(secondRan);
}

TEST_F(WorkerTest, ManualModeRunsTheJobOnlyWhenAskedAndOnThisThread) {
  Worker worker;
  worker.SetMode(Worker::Mode::kManual);
  Record(worker);
  std::thread::id jobThread;
  bool stopSeen = false;
  worker.Start([&](const Work& work) {
    jobThread = std::this_thread::get_id();
    stopSeen = work.Stopped();
    work.Best(7);
    work.Fraction(0.5);
  });
  EXPECT_EQ(jobThread, std::thread::id());
  worker.Cancel();
  worker.RunPending();
  EXPECT_EQ(jobThread, std::this_thread::get_id());
  EXPECT_TRUE(stopSeen);
  EXPECT_TRUE(worker.Running());  // until Finished is delivered
  QSignalSpy finished(&worker, &Worker::Finished);
  QCoreApplication::sendPostedEvents(&worker);
  EXPECT_EQ(finished.size(), 1);
  EXPECT_FALSE(worker.Running());
  EXPECT_EQ(values, std::vector<qint64>{7});
}

// The base of the tools' dialogs: what it does with a run that ends, one
// that "Avbryt" stops, one that Stop() stops and one that throws.
class CountingDialog : public WorkerDialog {
 public:
  CountingDialog() : WorkerDialog(nullptr) {}
  ~CountingDialog() override { JoinWorker(); }
  using WorkerDialog::Cancelled;
  using WorkerDialog::FailureText;
  using WorkerDialog::Run;
  using WorkerDialog::Stop;

  void Finished() override { ++finished; }
  void Abandoned() override {
    ++abandoned;
    WorkerDialog::Abandoned();
  }
  void ShowValue(qint64 value) override { shown.push_back(value); }

  int finished = 0;
  int abandoned = 0;
  std::vector<qint64> shown;
  bool sawStop = false;  // written by the job
};

class WorkerDialogTest : public WorkerTest {
 protected:
  WorkerDialogTest() { dialog.ValueWorker().SetMode(Worker::Mode::kManual); }
  QLabel* Status() const { return dialog.findChild<QLabel*>(QStringLiteral("Status")); }
  QPushButton* Avbryt() const { return dialog.findChild<QPushButton*>(QStringLiteral("Avbryt")); }
  // Runs the job kept in manual mode and delivers its end.
  void Finish() {
    dialog.ValueWorker().RunPending();
    ASSERT_TRUE(WaitFor(dialog.ValueWorker()));
  }

  CountingDialog dialog;
};

TEST_F(WorkerDialogTest, ARunThatEndsComesToFinishedAndTheBarShowsItsProgress) {
  dialog.show();
  ASSERT_TRUE(dialog.Run(
      [this](const Work& work) {
        work.Fraction(0.5);
        work.Best(42);
        dialog.sawStop = work.Stopped();
      },
      QStringLiteral("Räknar...")));
  EXPECT_EQ(Status()->text(), QStringLiteral("Räknar..."));
  // A second run waits for the first.
  EXPECT_FALSE(dialog.Run([](const Work&) {}, QStringLiteral("igen")));
  Finish();
  EXPECT_EQ(dialog.finished, 1);
  EXPECT_EQ(dialog.abandoned, 0);
  EXPECT_FALSE(dialog.sawStop);
  EXPECT_EQ(dialog.findChild<QProgressBar*>(QStringLiteral("Framsteg"))->value(), 500);
  EXPECT_EQ(dialog.shown.back(), 42);
  EXPECT_TRUE(dialog.isVisible());
  // With no run on, "Avbryt" closes at once.
  Avbryt()->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(WorkerDialogTest, AvbrytStopsTheRunAndClosesOnlyOnceItHasStopped) {
  dialog.show();
  ASSERT_TRUE(dialog.Run([this](const Work& work) { dialog.sawStop = work.Stopped(); },
                         QStringLiteral("Räknar...")));
  Avbryt()->click();
  EXPECT_EQ(Status()->text(), QStringLiteral("Avbryter..."));
  EXPECT_FALSE(Avbryt()->isEnabled());
  EXPECT_TRUE(dialog.isVisible());  // the job still uses the dialog's data
  Finish();
  EXPECT_TRUE(dialog.sawStop);
  EXPECT_EQ(dialog.finished, 0);
  EXPECT_EQ(dialog.abandoned, 1);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_TRUE(Avbryt()->isEnabled());  // ready for the dialog's next showing
}

TEST_F(WorkerDialogTest, StopEndsTheRunWithoutClosing) {
  dialog.show();
  ASSERT_TRUE(dialog.Run([this](const Work& work) { dialog.sawStop = work.Stopped(); },
                         QStringLiteral("Söker...")));
  dialog.Stop();
  Finish();
  EXPECT_TRUE(dialog.sawStop);
  EXPECT_TRUE(dialog.Cancelled());
  EXPECT_EQ(dialog.finished, 1);
  EXPECT_EQ(dialog.abandoned, 0);
  EXPECT_TRUE(dialog.isVisible());
}

TEST_F(WorkerDialogTest, WhatARunThrowsIsTold) {
  ASSERT_TRUE(dialog.Run([](const Work&) { throw std::runtime_error("slut på minne"); },
                         QStringLiteral("Räknar...")));
  Finish();
  EXPECT_EQ(dialog.finished, 1);
  EXPECT_EQ(dialog.Failure(), "slut på minne");
  EXPECT_EQ(dialog.FailureText(), QStringLiteral("Beräkningen misslyckades: slut på minne"));
}

}  // namespace
}  // namespace spelkub::tools
