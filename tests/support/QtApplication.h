#pragma once
// One QApplication for a whole test executable, made on first use (offscreen in CTest).

#include <QApplication>

inline QApplication& TestApplication()
{
    static int argc = 1;
    static char name[] = "velmora-tests";
    static char* argv[] = {name, nullptr};
    static QApplication* application = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *application;
}
