#include "app/launch.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    garrison::launch();
    return QApplication::exec();
}
