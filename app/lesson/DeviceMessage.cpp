#include "lesson/DeviceMessage.h"

#include "mplay/Player.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

#include <atomic>
#include <cstdio>

namespace sonavix {
namespace {

// The object lives on the GUI thread for the rest of the process: workers may still refer to
// it while the process ends, so it is never destroyed.
QObject* g_guiReceiver = nullptr;
std::atomic<bool> g_accepting{false};

void ShowBox(const QString& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Sonavix"), text, QMessageBox::Ok);
    box.exec();
}

// The library says what failed in English; the learner is told what to do, in Chinese.
void ShowOwnDeviceFailure(const char* /*what*/) {
    ShowDeviceFailure(kDeviceFailureText);
}

} // namespace

const char* const kDeviceFailureText =
    "不能打开播放设备，无法进行播放!\r\n"
    "如果有其它播放软件正在播放声音，请首先关闭，或者重新启动软件，然后重试!";

void ShowDeviceFailure(const char* utf8Text) {
    const QString text = QString::fromUtf8(utf8Text);
    if (!g_accepting.load() || g_guiReceiver == nullptr) {
        std::fprintf(stderr, "%s\n", utf8Text);
        return;
    }
    if (QThread::currentThread() == g_guiReceiver->thread()) {
        ShowBox(text);
        return;
    }
    // Blocks this worker until the box is dismissed. If the GUI thread stops answering, the
    // process is about to end and the worker ends with it.
    QMetaObject::invokeMethod(
        g_guiReceiver, [text] { ShowBox(text); }, Qt::BlockingQueuedConnection);
}

void InstallDeviceFailureMessage() {
    if (g_guiReceiver == nullptr) {
        g_guiReceiver = new QObject;
        g_guiReceiver->moveToThread(QCoreApplication::instance()->thread());
    }
    g_accepting.store(true);
    mplay::SetDeviceFailureMessage(ShowOwnDeviceFailure);
}

void WithdrawDeviceFailureMessage() {
    g_accepting.store(false);
}

} // namespace sonavix
