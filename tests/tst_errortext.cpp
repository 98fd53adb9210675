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
    void systemErrors_data();
    void systemErrors();
    void soundFileErrors_data();
    void soundFileErrors();
};

void TestErrorText::systemErrors_data()
{
    QTest::addColumn<int>("errnum");
    QTest::addColumn<QString>("text");
    QTest::newRow("missing") << ENOENT << "no existe";
    QTest::newRow("not allowed") << EACCES << "permiso denegado";
    QTest::newRow("not permitted") << EPERM << "permiso denegado";
    QTest::newRow("read-only disk") << EROFS << "el disco es de solo lectura";
    QTest::newRow("disk full") << ENOSPC << "no queda espacio en el disco";
    QTest::newRow("name too long") << ENAMETOOLONG << "el nombre es demasiado largo";
    QTest::newRow("device gone") << ENODEV << "el dispositivo no está conectado";
    QTest::newRow("i/o") << EIO << "error de lectura o escritura en el dispositivo";
    QTest::newRow("unlisted") << EXDEV << QStringLiteral("error del sistema número %1").arg(EXDEV);
    QTest::newRow("none recorded") << 0 << "error desconocido";
}

void TestErrorText::systemErrors()
{
    QFETCH(int, errnum);
    QFETCH(QString, text);
    QCOMPARE(systemErrorText(errnum), text);
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
