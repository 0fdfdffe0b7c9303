// The floor for a Qt Widgets program: one empty top-level window of the main
// window's size, built like vindrel (same compiler flags, same Qt), shown at
// once, then the event loop. scripts/bench.sh compares vindrel's start and
// resident memory with this one's.

#include <QApplication>
#include <QWidget>

int main(int, char** argv)
{
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("empty"));
    window.resize(980, 600);
    window.show();
    return QApplication::exec();
}
