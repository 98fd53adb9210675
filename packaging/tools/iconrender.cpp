// Renders an SVG file into square PNG files, one per size, at build time.
//   pregonal_iconrender IN.svg SIZE OUT.png [SIZE OUT.png ...]
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4 || (args.size() - 2) % 2 != 0) {
        std::fprintf(stderr,
                     "uso: pregonal_iconrender ENTRADA.svg TAMAÑO SALIDA.png [TAMAÑO SALIDA.png ...]\n");
        return 2;
    }
    QSvgRenderer svg(args.at(1));
    if (!svg.isValid()) {
        std::fprintf(stderr, "SVG no válido: %s\n", qPrintable(args.at(1)));
        return 1;
    }
    for (int i = 2; i + 1 < args.size(); i += 2) {
        bool ok = false;
        const int size = args.at(i).toInt(&ok);
        if (!ok || size < 1 || size > 4096) {
            std::fprintf(stderr, "tamaño no válido: %s\n", qPrintable(args.at(i)));
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        svg.render(&painter, QRectF(0, 0, size, size));
        painter.end();
        if (!image.save(args.at(i + 1), "PNG")) {
            std::fprintf(stderr, "no se pudo escribir %s\n", qPrintable(args.at(i + 1)));
            return 1;
        }
    }
    return 0;
}
