#include "proxystyle.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char **argv)
{
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("BrontelFFB"));
    QApplication::setOrganizationName(QStringLiteral("Tavik"));
    QApplication::setStyle(new ProxyStyle);
    QMainWindow window;
    window.show();
    return app.exec();
}
