#include "Sonavix.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    CSonavixApp theApp;
    theApp.InitInstance();
    // Detached playback workers may still hold the stream reader and the sound device: end the
    // process here without running destructors under them.
    std::fflush(nullptr);
    std::_Exit(EXIT_SUCCESS);
}
