// vexlo-screenshot PATH: saves a picture of the whole screen of the current display (for run.sh on a
// machine without a display, where the console runs on a virtual one).
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: vexlo-screenshot PATH.png\n");
        return 2;
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr || !screen->grabWindow(0).save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "vexlo-screenshot: could not grab the screen\n");
        return 1;
    }
    return 0;
}
