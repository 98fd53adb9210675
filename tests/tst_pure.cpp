// The pure functions under the program, with no window and no device: the Spanish causes given
// for system and sound-file errors, the keying-lines forms, and the tolerant reading of numeric
// settings (bad text gives the default, out of range the nearest end, nothing written back), and
// the choice of the sound card among those the server has, the lists it is chosen from, the
// sound levels the input meter shows and the test tone.
#include "errortext.h"
#include "keyinglines.h"
#include "keyingsettings.h"
#include "levels.h"
#include "programvalues.h"
#include "settingsstore.h"
#include "soundcardchoice.h"
#include "soundcardsettings.h"
#include "systempath.h"
#include "testtone.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>

#include <cerrno>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

class TestPure : public QObject
{
    Q_OBJECT
private slots:
    void systemNames_data();
    void systemNames();
    void onlyRegularFilesOpened_data();
    void onlyRegularFilesOpened();
    void fileErrors_data();
    void fileErrors();
    void soundFileErrors_data();
    void soundFileErrors();
    void keyingLines_data();
    void keyingLines();
    void keyingNumbersTolerated_data();
    void keyingNumbersTolerated();
    void byteSettingsTolerated_data();
    void byteSettingsTolerated();
    void soundCardChosen_data();
    void soundCardChosen();
    void soundCardSettingsRead();
    void stationSettingsRoundTrip();
    void soundCardList_data();
    void soundCardList();
    void levels_data();
    void levels();
    void testTone();
};

void TestPure::fileErrors_data()
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

void TestPure::fileErrors()
{
    QFETCH(int, error);
    QFETCH(QString, text);
    QCOMPARE(fileErrorText(error), text);
}

void TestPure::soundFileErrors_data()
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

void TestPure::soundFileErrors()
{
    QFETCH(int, code);
    QFETCH(int, systemErrno);
    QFETCH(QString, text);
    QCOMPARE(soundFileErrorText(code, systemErrno), text);
}

void TestPure::keyingLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("lines"); // empty: not an accepted form
    QTest::newRow("both") << "DTR+RTS"
                          << "DTR+RTS";
    QTest::newRow("dtr") << "DTR"
                         << "DTR";
    QTest::newRow("rts inverted") << "!RTS"
                                  << "!RTS";
    QTest::newRow("mixed, lower case, blanks") << " dtr + !rts "
                                               << "DTR+!RTS";
    QTest::newRow("other order") << "RTS+DTR"
                                 << "DTR+RTS";
    QTest::newRow("garbage") << "CTS"
                             << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("twice") << "DTR+DTR"
                           << "";
    QTest::newRow("three") << "DTR+RTS+DTR"
                           << "";
}

void TestPure::keyingLines()
{
    QFETCH(QString, text);
    QFETCH(QString, lines);
    const std::optional<KeyingLines> parsed = KeyingLines::parse(text);
    QCOMPARE(parsed ? parsed->toString() : QString(), lines);
    if (parsed)
        QCOMPARE(KeyingLines::parse(parsed->toString()), parsed);
}

void TestPure::keyingNumbersTolerated_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lead");
    QTest::addColumn<int>("tail");
    QTest::addColumn<int>("cap");
    QTest::newRow("absent") << QString() << 300 << 100 << 0;
    QTest::newRow("plain") << "250" << 250 << 250 << 250;
    QTest::newRow("blanks around") << " 40 " << 40 << 40 << 40;
    QTest::newRow("zero") << "0" << 0 << 0 << 0;
    QTest::newRow("text") << "mucho" << 300 << 100 << 0;
    QTest::newRow("empty") << "" << 300 << 100 << 0;
    QTest::newRow("fraction") << "1.5" << 300 << 100 << 0;
    QTest::newRow("negative clamps") << "-20" << 0 << 0 << 0;
    QTest::newRow("too large clamps") << "5000" << 2000 << 2000 << 3600;
    QTest::newRow("overflow clamps") << "99999999999999999999999" << 2000 << 2000 << 3600;
    QTest::newRow("plus sign") << "+7" << 7 << 7 << 7;
}

void TestPure::keyingNumbersTolerated()
{
    QFETCH(QString, text);
    QFETCH(int, lead);
    QFETCH(int, tail);
    QFETCH(int, cap);
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    if (!text.isNull()) {
        for (const char *key : {"retardo", "cola", "tiempomaximo"})
            store.write(kApplication, kSection, QLatin1String(key), text);
    }
    const KeyingSettings keying = readKeyingSettings(store);
    QCOMPARE(keying.retardoMs, lead);
    QCOMPARE(keying.colaMs, tail);
    QCOMPARE(keying.tiempomaximoSecs, cap);
    // Reading never writes back.
    QCOMPARE(store.read(kApplication, kSection, QStringLiteral("retardo"), QStringLiteral("none")),
             text.isNull() ? QStringLiteral("none") : text);
}

void TestPure::byteSettingsTolerated_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value"); // -1: the default
    QTest::newRow("plain") << "7" << 7;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("top") << "255" << 255;
    QTest::newRow("blanks") << " 12 " << 12;
    QTest::newRow("too large") << "256" << -1;
    QTest::newRow("negative") << "-1" << -1;
    QTest::newRow("sign") << "+5" << -1;
    QTest::newRow("fraction") << "7.5" << -1;
    QTest::newRow("hex") << "&h3" << -1;
    QTest::newRow("exponent") << "1e3" << -1;
    QTest::newRow("empty") << "" << -1;
}

void TestPure::byteSettingsTolerated()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    store.write(kApplication, kSection, QStringLiteral("puerto"), text);
    store.write(kApplication, kSection, QStringLiteral("intervalo"), text);
    QCOMPARE(int(readPuerto(store)), value < 0 ? 2 : value);
    QCOMPARE(int(readIntervalo(store)), value < 0 ? 10 : value);
}

void TestPure::soundCardChosen_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("description");
    QTest::addColumn<int>("chosen"); // index in the list below, -1: not there
    const QString usb = QStringLiteral("USB Audio Device Analog Stereo");
    const QString usb0 = QStringLiteral("alsa_output.usb-C-Media_USB_Audio_Device-00.analog-stereo");
    const QString usb1 = QStringLiteral("alsa_output.usb-C-Media_USB_Audio_Device-01.analog-stereo");
    const QString radio = QStringLiteral("Interfaz de radio Estéreo analógico");
    QTest::newRow("by id") << QStringLiteral("alsa_output.pci-0000_00_1f.3.analog-stereo")
                           << QStringLiteral("Audio interno Estéreo analógico") << 2;
    QTest::newRow("by id, description out of date") << usb1 << QStringLiteral("Otro nombre") << 1;
    QTest::newRow("by id, twin cards: the id decides") << usb1 << usb << 1;
    QTest::newRow("id gone (new profile): by description")
        << QStringLiteral("alsa_output.usb-Radio_Interface-00.analog-stereo") << radio << 3;
    QTest::newRow("description alone") << QString() << radio << 3;
    QTest::newRow("id alone") << usb0 << QString() << 0;
    QTest::newRow("id gone, description fits twin cards")
        << QStringLiteral("alsa_output.usb-C-Media_USB_Audio_Device-02.analog-stereo") << usb << -1;
    QTest::newRow("id and description gone") << QStringLiteral("alsa_output.usb-Gone-00.analog-stereo")
                                             << QStringLiteral("Tarjeta desenchufada") << -1;
    QTest::newRow("id alone, gone") << QStringLiteral("alsa_output.usb-Gone-00.analog-stereo") << QString()
                                    << -1;
    QTest::newRow("id differs in case") << usb0.toUpper() << QString() << -1;
    QTest::newRow("description differs in case") << QString() << radio.toLower() << -1;
    QTest::newRow("description is an id of another card") << QStringLiteral("x") << usb0 << -1;
}

void TestPure::soundCardChosen()
{
    QFETCH(QString, id);
    QFETCH(QString, description);
    QFETCH(int, chosen);
    const QList<SoundCardEntry> cards = {
        {QStringLiteral("alsa_output.usb-C-Media_USB_Audio_Device-00.analog-stereo"),
         QStringLiteral("USB Audio Device Analog Stereo")},
        {QStringLiteral("alsa_output.usb-C-Media_USB_Audio_Device-01.analog-stereo"),
         QStringLiteral("USB Audio Device Analog Stereo")},
        {QStringLiteral("alsa_output.pci-0000_00_1f.3.analog-stereo"),
         QStringLiteral("Audio interno Estéreo analógico")},
        {QStringLiteral("alsa_output.usb-Radio_Interface-00.iec958-stereo"),
         QStringLiteral("Interfaz de radio Estéreo analógico")},
    };
    const SoundCardChoice wanted{id, description};
    QVERIFY(!wanted.isDefault());
    QCOMPARE(chooseSoundCard(cards, wanted), chosen);
    QCOMPARE(chooseSoundCard({}, wanted), -1);
    // The operator is told the card by the name last seen, else by its id.
    const QString text = missingSoundCardText(wanted);
    QVERIFY2(text.startsWith(QStringLiteral("No se encuentra la tarjeta de sonido «%1».")
                                 .arg(description.isEmpty() ? id : description)),
             qPrintable(text));
}

// Absent or blank: the default card, as before these settings existed; blanks around a name go.
void TestPure::soundCardSettingsRead()
{
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    SoundCardSettings s = readSoundCardSettings(store);
    QVERIFY(s.salida.isEmpty() && s.salidanombre.isEmpty() && s.entrada.isEmpty() &&
            s.entradanombre.isEmpty());
    QVERIFY((SoundCardChoice{s.salida, s.salidanombre}.isDefault()));
    store.write(kApplication, kSection, QStringLiteral("salida"), QStringLiteral("  tx "));
    store.write(kApplication, kSection, QStringLiteral("salidanombre"),
                QStringLiteral(" Interfaz de radio "));
    store.write(kApplication, kSection, QStringLiteral("entrada"), QStringLiteral("   "));
    store.write(kApplication, kSection, QStringLiteral("entradanombre"), QStringLiteral("Micrófono"));
    s = readSoundCardSettings(store);
    QCOMPARE(s.salida, QStringLiteral("tx"));
    QCOMPARE(s.salidanombre, QStringLiteral("Interfaz de radio"));
    QCOMPARE(s.entrada, QString());
    QCOMPARE(s.entradanombre, QStringLiteral("Micrófono"));
    QVERIFY(!(SoundCardChoice{s.entrada, s.entradanombre}.isDefault()));

    // Written by hand: a description with a comma, in double quotes as the README says.
    QFile file(store.location(kApplication));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("[conf]\nsalidanombre=\"Interfaz, radio\"\n");
    file.close();
    QCOMPARE(readSoundCardSettings(store).salidanombre, QStringLiteral("Interfaz, radio"));
}

// What the station dialog stores reads back the same, a comma in a description included.
void TestPure::stationSettingsRoundTrip()
{
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    const KeyingSettings keying{0, 2000, QStringLiteral("!DTR+RTS"), 3600, {}};
    const SoundCardSettings cards{QStringLiteral("alsa_output.usb-1"), QStringLiteral("Radio, canal 2 \"a\""),
                                  QString(), QString()};
    QVERIFY(writeKeyingSettings(store, keying));
    QVERIFY(writeSoundCardSettings(store, cards));
    const KeyingSettings k = readKeyingSettings(store);
    QCOMPARE(k.retardoMs, keying.retardoMs);
    QCOMPARE(k.colaMs, keying.colaMs);
    QCOMPARE(k.lineas, keying.lineas);
    QCOMPARE(k.tiempomaximoSecs, keying.tiempomaximoSecs);
    const SoundCardSettings c = readSoundCardSettings(store);
    QCOMPARE(c.salida, cards.salida);
    QCOMPARE(c.salidanombre, cards.salidanombre);
    QVERIFY(c.entrada.isEmpty() && c.entradanombre.isEmpty());

    // A store that cannot be written says so.
    QVERIFY(QFile::remove(store.location(kApplication)));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Pregonal.conf")));
    QVERIFY(!writeKeyingSettings(store, keying));
    QVERIFY(!writeSoundCardSettings(store, cards));
}

void TestPure::soundCardList_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("current");
    const QStringList present = {"Predeterminada", "Audio interno", "USB Audio (usb-00)",
                                 "USB Audio (usb-01)", "usb-radio"};
    QTest::newRow("default") << QString() << QString() << present << 0;
    QTest::newRow("by id") << "usb-01"
                           << "USB Audio" << present << 3;
    QTest::newRow("id changed, by description") << "pci-old"
                                                << "Audio interno" << present << 1;
    QTest::newRow("no description: shown by id") << "usb-radio" << QString() << present << 4;
    QTest::newRow("gone: kept, marked")
        << "usb-gone"
        << "Interfaz" << (present + QStringList{"Interfaz (no está conectada)"}) << 5;
    QTest::newRow("twins, id gone: kept, marked")
        << "usb-02"
        << "USB Audio" << (present + QStringList{"USB Audio (no está conectada)"}) << 5;
}

void TestPure::soundCardList()
{
    QFETCH(QString, id);
    QFETCH(QString, description);
    QFETCH(QStringList, texts);
    QFETCH(int, current);
    const QList<SoundCardEntry> cards = {
        {"pci", "Audio interno"}, {"usb-00", "USB Audio"}, {"usb-01", "USB Audio"}, {"usb-radio", ""}};
    const SoundCardItems list = soundCardItems(cards, {id, description}, QStringLiteral("Predeterminada"));
    QStringList shown;
    for (const SoundCardItem &item : list.items)
        shown << item.text;
    QCOMPARE(shown, texts);
    QCOMPARE(list.current, current);
    QVERIFY(list.items.first().choice.isDefault());
    // Accepting the list as it stands keeps the card: the one found now, or the one stored.
    const SoundCardChoice kept = list.items.at(current).choice;
    if (current == 0)
        QVERIFY(kept.isDefault());
    else if (current == texts.size() - 1 && texts.last().endsWith(QStringLiteral("(no está conectada)")))
        QVERIFY(kept.id == id && kept.description == description);
    else
        QCOMPARE(chooseSoundCard(cards, kept), current - 1);
}

void TestPure::levels_data()
{
    QTest::addColumn<QList<qint16>>("samples");
    QTest::addColumn<int>("percent");
    QTest::addColumn<QString>("text");
    QTest::newRow("nothing") << QList<qint16>{} << 0 << "silencio";
    QTest::newRow("silence") << QList<qint16>{0, 0, 0} << 0 << "silencio";
    QTest::newRow("below the floor") << QList<qint16>{16, -20} << 0 << "silencio";
    QTest::newRow("-20 dB, negative peak") << QList<qint16>{100, -3277, 2000} << 67 << "-20 dB";
    QTest::newRow("-6 dB") << QList<qint16>{16423} << 90 << "-6 dB";
    QTest::newRow("full scale") << QList<qint16>{32767} << 100 << "0 dB";
    QTest::newRow("most negative sample") << QList<qint16>{-32768} << 100 << "0 dB";
}

void TestPure::levels()
{
    QFETCH(QList<qint16>, samples);
    QFETCH(int, percent);
    QFETCH(QString, text);
    const double peak = levels::peakOf(samples.constData(), samples.size());
    QVERIFY(peak >= 0 && peak <= 1);
    QCOMPARE(levels::percent(peak), percent);
    QCOMPARE(levels::text(peak), text);
}

// 2 s of 1 kHz at -20 dBFS that starts and ends at nothing.
void TestPure::testTone()
{
    const QList<qint16> tone = TestTone::samples();
    QCOMPARE(tone.size(), qsizetype(2 * 48000));
    const double peak = levels::peakOf(tone.constData(), tone.size());
    QVERIFY2(std::abs(levels::toDb(peak) + 20.0) < 0.05, qPrintable(QString::number(levels::toDb(peak))));
    int crossings = 0;
    for (qsizetype i = 1; i < tone.size(); ++i)
        crossings += (tone[i - 1] < 0) != (tone[i] < 0) ? 1 : 0;
    QVERIFY2(std::abs(crossings - 4000) <= 4, qPrintable(QString::number(crossings))); // 2 per cycle
    QVERIFY(std::abs(tone.first()) <= 1 && std::abs(tone.last()) <= 10);
    QVERIFY(levels::peakOf(tone.constData(), 48) < peak / 2); // the first millisecond ramps up
}

void TestPure::systemNames_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("utf8");
    QTest::addColumn<QString>("readable");
    QTest::newRow("plain") << QByteArray("/tmp/aviso.wav") << true << "/tmp/aviso.wav";
    QTest::newRow("accents") << QByteArray("se\xc3\xb1"
                                           "al.wav")
                             << true << "señal.wav";
    QTest::newRow("radio emoji") << QByteArray("\xf0\x9f\x93\xbb.wav") << true << "\U0001F4FB.wav";
    // Its second half is U+DC80, the same unit that carries an undecodable 0x80.
    QTest::newRow("U+10080") << QByteArray("\xf0\x90\x82\x80") << true << QString::fromUcs4(U"\U00010080", 1);
    QTest::newRow("Latin-1 bytes") << QByteArray("bad\xff\xfeutf.wav") << false << "bad\\xff\\xfeutf.wav";
    QTest::newRow("lone continuation") << QByteArray("a\x80"
                                                     "b")
                                       << false << "a\\x80b";
    QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << false << "\\xc0\\xaf";
    QTest::newRow("encoded surrogate") << QByteArray("\xed\xb2\x80") << false << "\\xed\\xb2\\x80";
    QTest::newRow("past U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << false << "\\xf4\\x90\\x80\\x80";
    QTest::newRow("cut sequence at the end") << QByteArray("x\xe2\x82") << false << "x\\xe2\\x82";
    QTest::newRow("cut sequence, then ASCII") << QByteArray("\xe2\x82y") << false << "\\xe2\\x82y";
    QTest::newRow("escape after a real pair")
        << QByteArray("\xf0\x90\x82\x80\x80") << false << QString::fromUcs4(U"\U00010080", 1) + "\\x80";
    QTest::newRow("empty") << QByteArray() << true << "";
}

// Any bytes the system gives come back byte for byte; valid UTF-8 reads as Qt reads it.
void TestPure::systemNames()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, utf8);
    QFETCH(QString, readable);
    const QString name = SystemPath::decode(bytes);
    QCOMPARE(SystemPath::encode(name), bytes);
    QCOMPARE(SystemPath::readable(name), readable);
    if (utf8)
        QCOMPARE(name, QString::fromUtf8(bytes));
    else
        QVERIFY(name != QString::fromUtf8(bytes));
    // Every single byte too, and its pairs with a continuation byte.
    for (int b = 0; b < 256; ++b) {
        const QByteArray one(1, char(b));
        QCOMPARE(SystemPath::encode(SystemPath::decode(one)), one);
        const QByteArray two = one + char(0x80 | (b & 0x3f));
        QCOMPARE(SystemPath::encode(SystemPath::decode(two)), two);
    }
}

void TestPure::onlyRegularFilesOpened_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("expected"); // SystemPath::Kind
    QTest::addColumn<int>("error");    // errno of openRegular, 0 when it opens
    QTest::newRow("regular") << "regular" << int(SystemPath::Kind::Regular) << 0;
    QTest::newRow("link to a regular file") << "link" << int(SystemPath::Kind::Regular) << 0;
    QTest::newRow("name that is not UTF-8") << "latin1" << int(SystemPath::Kind::Regular) << 0;
    QTest::newRow("missing") << "missing" << int(SystemPath::Kind::Missing) << ENOENT;
    QTest::newRow("folder") << "folder" << int(SystemPath::Kind::Folder) << EISDIR;
    QTest::newRow("named pipe, no writer") << "fifo" << int(SystemPath::Kind::Pipe) << ENXIO;
    QTest::newRow("link to a device") << "device" << int(SystemPath::Kind::Device) << ENXIO;
    QTest::newRow("socket") << "socket" << int(SystemPath::Kind::Socket) << ENXIO;
}

// Only a regular file is opened, and nothing else makes the open wait: a pipe with no writer
// would hold a blocking open for ever.
void TestPure::onlyRegularFilesOpened()
{
    QFETCH(QString, kind);
    QFETCH(int, expected);
    QFETCH(int, error);
    QTemporaryDir dir;
    const QByteArray base = QFile::encodeName(dir.path()) + '/';
    QByteArray bytes = base + "m.wav";
    int socketFd = -1;
    if (kind == QLatin1String("regular") || kind == QLatin1String("link") ||
        kind == QLatin1String("latin1")) {
        if (kind == QLatin1String("latin1"))
            bytes = base + "se\xf1"
                           "al.wav";
        const int fd = ::open(bytes.constData(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);
        if (kind == QLatin1String("link")) {
            QCOMPARE(::symlink(bytes.constData(), (base + "l.wav").constData()), 0);
            bytes = base + "l.wav";
        }
    } else if (kind == QLatin1String("folder")) {
        QCOMPARE(::mkdir(bytes.constData(), 0755), 0);
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(bytes.constData(), 0600), 0);
    } else if (kind == QLatin1String("device")) {
        QCOMPARE(::symlink("/dev/null", bytes.constData()), 0);
    } else if (kind == QLatin1String("socket")) {
        socketFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, bytes.constData(), sizeof address.sun_path);
        QCOMPARE(::bind(socketFd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    }
    // QTemporaryDir cannot remove a name that is not UTF-8.
    const auto removeName = qScopeGuard([&] { ::unlink(bytes.constData()); });
    const QString path = SystemPath::decode(bytes);
    QCOMPARE(int(SystemPath::kind(path)), expected);
    QCOMPARE(SystemPath::exists(path), kind != QLatin1String("missing"));
    errno = 0;
    const int fd = SystemPath::openRegular(path);
    const int openErrno = errno;
    if (fd >= 0)
        ::close(fd);
    if (socketFd >= 0)
        ::close(socketFd);
    QCOMPARE(fd >= 0, error == 0);
    if (error != 0)
        QCOMPARE(openErrno, error);
}

QTEST_GUILESS_MAIN(TestPure)
#include "tst_pure.moc"
