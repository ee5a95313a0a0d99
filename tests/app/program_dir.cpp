#include "program_dir.h"

#include "mplay/PlayThread.h"
#include "offscreen_app.h"

#include <QApplication>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <mutex>

QApplication& TestApp() {
    return OffscreenApp<QApplication>();
}

ProgramDir::ProgramDir() {
    QFile page(QStringLiteral(SONAVIX_SOURCE_DIR "/assets/web/index.html"));
    if (page.open(QIODevice::ReadOnly))
        Write(QStringLiteral("web/index.html"), page.readAll());
}

void ProgramDir::Write(const QString& relative, const QByteArray& bytes) const {
    const QString path = Path() + relative;
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

void ProgramDir::Remove(const QString& relative) const {
    QFile::remove(Path() + relative);
}

QByteArray RtfWithText(const char* text) {
    return QByteArray("{\\rtf1\\ansi\\ansicpg936{\\fonttbl{\\f0\\fnil\\fcharset134 Song;}}\\f0 ") +
           text + "\\par}";
}

namespace {
std::mutex g_mutex;
std::vector<std::string> g_requests;
std::vector<double> g_speeds;
void Record(const std::string& path, double speed) {
    std::lock_guard lock(g_mutex);
    g_requests.push_back(path);
    g_speeds.push_back(speed);
}
} // namespace

void PlayRequests::Install() {
    mplay::SetSpeedRequestHook(Record);
}

void PlayRequests::Clear() {
    std::lock_guard lock(g_mutex);
    g_requests.clear();
    g_speeds.clear();
}

std::vector<std::string> PlayRequests::Take() {
    std::lock_guard lock(g_mutex);
    g_speeds.clear();
    return std::exchange(g_requests, {});
}

std::vector<double> PlayRequests::TakeSpeeds() {
    std::lock_guard lock(g_mutex);
    g_requests.clear();
    return std::exchange(g_speeds, {});
}
