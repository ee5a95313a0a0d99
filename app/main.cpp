#include "Sonavix.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    CSonavixApp theApp;
    theApp.InitInstance();
    EndProcess();
}
