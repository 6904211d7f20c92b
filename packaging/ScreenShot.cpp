// Writes a PNG of the X display (or of one window) for the acceptance test,
// which may not compile anything into the program it drives.
// Usage: melodrift-screenshot OUT.png [WINDOW-ID]
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s OUT.png [WINDOW-ID]\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return 1;
    const WId window = argc == 3 ? static_cast<WId>(std::strtoull(argv[2], nullptr, 0)) : 0;
    const QPixmap shot = screen->grabWindow(window);
    return !shot.isNull() && shot.save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
