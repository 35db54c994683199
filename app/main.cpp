#include "Unit_Main.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    r2::TFrm_Main window;
    window.show();
    return QApplication::exec();
}
