// The device-failure message reaches the user from a playback worker: a modal box on the GUI
// thread while the worker waits, and no waiting at all once the window has closed.
#include "lesson/DeviceMessage.h"
#include "program_dir.h"

#include "mplay/Player.h"

#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(DeviceMessage, WorkerWaitsForTheBoxOnTheGuiThread) {
    TestApp();
    sonavix::InstallDeviceFailureMessage();
    std::atomic<bool> returned{false};
    QStringList shown;
    bool workerWaitedWhileShown = false;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown.append(box->text());
            workerWaitedWhileShown = !returned.load();
            box->accept();
        }
    });
    timer.start();
    std::thread worker([&] {
        sonavix::ShowDeviceFailure(sonavix::kDeviceFailureText);
        returned.store(true);
    });
    for (int i = 0; i < 500 && !returned.load(); ++i)
        QTest::qWait(10);
    worker.join();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0], QString::fromUtf8(sonavix::kDeviceFailureText));
    EXPECT_TRUE(workerWaitedWhileShown);

    // On the GUI thread itself the box shows directly instead of waiting on itself.
    sonavix::ShowDeviceFailure("direct");
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[1], QStringLiteral("direct"));
}

TEST(DeviceMessage, AfterTheWindowClosesWorkersDoNotWait) {
    TestApp();
    sonavix::InstallDeviceFailureMessage();
    sonavix::WithdrawDeviceFailureMessage();
    // Nothing answers on the GUI thread here: a blocking call would hang the test.
    std::thread worker([] { sonavix::ShowDeviceFailure("late failure"); });
    worker.join();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

} // namespace
