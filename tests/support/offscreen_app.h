#pragma once
// One application object for a whole test program, on the offscreen platform unless the caller
// chose another (the screenshot scripts run under a virtual X server). Never destroyed: windows
// and fonts of the tests may outlive any scope that could own it. App is QGuiApplication, or
// QApplication for tests that include it and open widgets.
#include <QGuiApplication>

template <class App> App& OffscreenApp() {
    static int argc = 1;
    static char name[] = "sonavix-tests";
    static char* argv[] = {name, nullptr};
    static App* app = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return new App(argc, argv);
    }();
    return *app;
}
