// A bare Qt 6 window: the floor the whole-program figures are measured
// against (start to window, resident memory), in the same run.
#include <QApplication>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare Qt window"));
    window.resize(300, 200);
    window.show();
    return app.exec();
}
