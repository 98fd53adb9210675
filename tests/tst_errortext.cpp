// The Spanish causes given for system and sound-file errors: each known code has its own words,
// the rest still say something useful, and no English gets through.
#include "errortext.h"

#include <QRegularExpression>
#include <QTest>

#include <cerrno>

class TestErrorText : public QObject
{
    Q_OBJECT
private slots:
    void fileErrors_data();
    void fileErrors();
    void soundFileErrors_data();
    void soundFileErrors();
};

void TestErrorText::fileErrors_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("text");
    QTest::newRow("EACCES") << EACCES << "permiso denegado";
    QTest::newRow("EPERM") << EPERM << "permiso denegado";
    QTest::newRow("ENOENT") << ENOENT << "la carpeta no existe";
    QTest::newRow("ENOTDIR") << ENOTDIR << "una parte de la ruta no es una carpeta";
    QTest::newRow("EROFS") << EROFS << "el disco es de solo lectura";
    QTest::newRow("ENOSPC") << ENOSPC << "no queda espacio en el disco";
    QTest::newRow("ENAMETOOLONG") << ENAMETOOLONG << "el nombre es demasiado largo";
    QTest::newRow("EIO") << EIO << "error de lectura o escritura en el disco";
    QTest::newRow("unknown") << 100000 << "error del sistema número 100000";
}

void TestErrorText::fileErrors()
{
    QFETCH(int, error);
    QFETCH(QString, text);
    QCOMPARE(fileErrorText(error), text);
}

void TestErrorText::soundFileErrors_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("systemErrno");
    QTest::addColumn<QString>("text");
    QTest::newRow("not a sound file") << 1 << 0 << "no es un archivo de sonido que se pueda leer";
    QTest::newRow("system: the errno decides") << 2 << EACCES << "permiso denegado";
    QTest::newRow("malformed") << 3 << 0 << "el archivo de sonido está dañado";
    QTest::newRow("encoding") << 4 << 0 << "la codificación del sonido no se admite";
    QTest::newRow("internal detail")
        << 27 << 0 << "el archivo de sonido no se puede leer (error 27 de la biblioteca de sonido)";
}

void TestErrorText::soundFileErrors()
{
    QFETCH(int, code);
    QFETCH(int, systemErrno);
    QFETCH(QString, text);
    QCOMPARE(soundFileErrorText(code, systemErrno), text);
}

QTEST_MAIN(TestErrorText)
#include "tst_errortext.moc"
