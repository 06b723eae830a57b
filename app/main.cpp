// Program entry: creates the main window and runs the message loop.
#include <QApplication>
#include <QGuiApplication>
#include <cstdio>

#include "app/Ravek.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("ravek");
    tralvik::TForm1 form;
    form.show();
    return app.exec();
}
