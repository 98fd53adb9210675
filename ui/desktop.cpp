#include "desktop.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QScreen>
#include <QTranslator>
#include <QWidget>

QTranslator *installQtSpanish(QCoreApplication &app, const QString &folder)
{
    // The exact file only: QTranslator would otherwise fall back to other names (qtbase.qm).
    const QString path = QDir(folder).filePath(QStringLiteral("qtbase_es.qm"));
    if (!QFileInfo(path).isFile())
        return nullptr;
    auto *translator = new QTranslator(&app);
    if (!translator->load(path) || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    // Dates and sizes in the file dialog follow the locale; a Spanish desktop keeps its own.
    if (QLocale::system().language() != QLocale::Spanish)
        QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
    return translator;
}

void centreOnPointerScreen(QWidget &window)
{
    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The frame as far as the window system has told it (before the first show, the client area).
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}
