// Grabs a rectangle of the X screen named by DISPLAY into a PNG file (used by scripts/screenshot.sh).
//   pregonal_screengrab OUT.png [X Y WIDTH HEIGHT]
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2 && args.size() != 6) {
        std::fprintf(stderr, "uso: pregonal_screengrab SALIDA.png [X Y ANCHO ALTO]\n");
        return 2;
    }
    int x = 0, y = 0, w = -1, h = -1;
    if (args.size() == 6) {
        bool ok[4];
        x = args.at(2).toInt(&ok[0]);
        y = args.at(3).toInt(&ok[1]);
        w = args.at(4).toInt(&ok[2]);
        h = args.at(5).toInt(&ok[3]);
        if (!ok[0] || !ok[1] || !ok[2] || !ok[3] || w < 1 || h < 1) {
            std::fprintf(stderr, "rectángulo no válido\n");
            return 2;
        }
    }
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen) {
        std::fprintf(stderr, "no hay pantalla\n");
        return 1;
    }
    const QPixmap shot = screen->grabWindow(0, x, y, w, h);
    if (shot.isNull() || !shot.save(args.at(1), "PNG")) {
        std::fprintf(stderr, "no se pudo capturar la pantalla en %s\n", qPrintable(args.at(1)));
        return 1;
    }
    return 0;
}
