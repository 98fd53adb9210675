#pragma once

#include <QLibraryInfo>
#include <QString>

class QCoreApplication;
class QTranslator;
class QWidget;

// Qt's own texts (the open and save dialogs, standard buttons, the overwrite question) in Spanish,
// whatever the desktop's language: installs qtbase_es.qm from folder, and makes Spanish the
// default locale unless the desktop's already is. Returns the translator, or nullptr with nothing
// changed where the file is missing or unreadable (the texts stay English).
QTranslator *installQtSpanish(QCoreApplication &app,
                              const QString &folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath));

// Moves a top-level window so that it is centred on the available area of the screen that holds
// the mouse pointer (the primary screen when none does).
void centreOnPointerScreen(QWidget &window);
