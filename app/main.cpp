#include "CommandLine.h"
#include "Sonavix.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    if (const int status = sonavix::AnswerInfoOption(argc, argv); status >= 0)
        return status;
    QApplication application(argc, argv);
    // Wayland compositors match the window to its menu entry by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.sonavix.Sonavix"));
    CSonavixApp theApp;
    theApp.InitInstance();
    EndProcess();
}
