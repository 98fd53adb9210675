#include "pictures.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace {
QPixmap render(const QString &path, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(path);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

QIcon iconAt(const QString &path, std::initializer_list<int> sizes)
{
    QIcon icon;
    for (const int size : sizes)
        icon.addPixmap(render(path, size));
    return icon;
}
} // namespace

QIcon programIcon()
{
    return iconAt(QStringLiteral(":/pregonal/icons/pregonal.svg"), {16, 32});
}

QIcon toolbarPicture(const QString &name)
{
    return iconAt(QStringLiteral(":/pregonal/toolbar/%1.svg").arg(name), {16, 32});
}

QString aboutPicturePath()
{
    return QStringLiteral(":/pregonal/about/contestador.svg");
}
