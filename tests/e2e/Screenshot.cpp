// Saves what the X display shows as a PNG file, for a person to look at: screenshot FILE.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: screenshot FILE.png\n");
        return 64;
    }
    if (!QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "screenshot: %s cannot be written\n", argv[1]);
        return 1;
    }
    return 0;
}
