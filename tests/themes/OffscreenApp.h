// One QApplication for a whole test program, on the offscreen platform unless the caller chose
// another (the screenshot script runs under a virtual X server).
#pragma once

#include <QApplication>

inline QApplication& OffscreenApp() {
    static int argc = 1;
    static char name[] = "sonavix-tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}
