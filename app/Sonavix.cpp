#include "Sonavix.h"

#include "common/ProgramPaths.h"
#include "lesson/DeviceMessage.h"
#include "lesson/DlgSonavix.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <utility>

// The font can always be installed per user on this platform, so the message names that place.
const char* const kFontFailureText = "对不起，字体没有正确安装，无法显示音标。\n"
                                     "请手动安装软件目录下：Svphonet.ttf 字体文件到"
                                     "~/.local/share/fonts/ 目录！";

namespace {

QString ExecutableDirectory() {
    const QString path = QCoreApplication::applicationFilePath();
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash + 1);
}

} // namespace

CSonavixApp::CSonavixApp(QString appDir) : m_strAppDirOverride(std::move(appDir)) {}

bool CSonavixApp::InitInstance() {
    m_strAppDir = m_strAppDirOverride.isEmpty() ? ExecutableDirectory() : m_strAppDirOverride;

    const sonavix::ProgramPaths paths = sonavix::ProgramPaths::Resolve(m_strAppDir);
    const int fontId = QFontDatabase::addApplicationFont(paths.SymbolFontFile());
    if (fontId < 0) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Sonavix"),
                        QString::fromUtf8(kFontFailureText), QMessageBox::Ok);
        box.exec();
    }

    sonavix::InstallDeviceFailureMessage();
    {
        CDlgSonavix dialog(m_strAppDir);
        dialog.exec();
        // Workers that are still playing may report a device failure from now on; nobody would
        // answer it.
        sonavix::WithdrawDeviceFailureMessage();
        if (fontId >= 0)
            QFontDatabase::removeApplicationFont(fontId);
    }
    return false;
}

void EndProcess() {
    std::fflush(nullptr);
    std::_Exit(EXIT_SUCCESS);
}
