#include "commandline.h"

#include <QRegularExpression>

namespace {
constexpr int kMaxInterval = 3600;
constexpr int kMaxTimes = 1000000;

bool wholeNumber(const QString &text, int min, int max, int *value)
{
    static const QRegularExpression digits(QStringLiteral("^\\d{1,9}$"));
    if (!digits.match(text).hasMatch())
        return false;
    const int n = text.toInt();
    if (n < min || n > max)
        return false;
    *value = n;
    return true;
}

bool looksLikeOption(const QString &argument)
{
    return argument.startsWith(QLatin1String("--")) || argument == QLatin1String("-h");
}

Command bad(const QString &error)
{
    Command c;
    c.mode = Command::Mode::Bad;
    c.error = error;
    return c;
}
} // namespace

Command parseCommandLine(const QStringList &arguments)
{
    Command c;
    bool sendOptions = false;
    auto setMode = [&c](Command::Mode mode, const QString &option) {
        if (c.mode != Command::Mode::Window && c.mode != mode) {
            c.error = QStringLiteral("«%1» no se puede usar con otra orden.").arg(option);
            return false;
        }
        c.mode = mode;
        return true;
    };
    for (int i = 0; i < arguments.size(); ++i) {
        QString option = arguments.at(i);
        QString value;
        bool hasValue = false;
        if (option.startsWith(QLatin1String("--")) && option.contains(QLatin1Char('='))) {
            value = option.section(QLatin1Char('='), 1);
            option = option.section(QLatin1Char('='), 0, 0);
            hasValue = true;
        }
        // The files of --medir: every word after it; "--medir=--x" or "./--x" for one named like an option.
        if (c.mode == Command::Mode::Measure && !option.startsWith(QLatin1Char('-')) && !hasValue) {
            c.files << option;
            continue;
        }
        if (option == QLatin1String("--medir")) {
            if (!setMode(Command::Mode::Measure, option))
                return bad(c.error);
            if (hasValue) {
                if (value.isEmpty())
                    return bad(QStringLiteral("falta el archivo de «--medir»."));
                c.files << value;
            }
            continue;
        }
        const bool takesValue = option == QLatin1String("--enviar") ||
                                option == QLatin1String("--intervalo") || option == QLatin1String("--veces");
        if (takesValue && !hasValue) {
            // "--enviar --bucle" lacks its file; a file named so is "--enviar=--bucle" or "./--bucle".
            if (i + 1 >= arguments.size() || looksLikeOption(arguments.at(i + 1)))
                return bad(QStringLiteral("falta el valor de «%1».").arg(option));
            value = arguments.at(++i);
        } else if (!takesValue && hasValue) {
            return bad(QStringLiteral("«%1» no lleva valor.").arg(option));
        }

        bool ok = true;
        if (option == QLatin1String("--enviar")) {
            if (value.isEmpty())
                return bad(QStringLiteral("falta el archivo del mensaje de «--enviar»."));
            if (!c.file.isEmpty())
                return bad(QStringLiteral("«--enviar» envía un solo mensaje: se ha dado dos veces."));
            ok = setMode(Command::Mode::Send, option);
            c.file = value;
        } else if (option == QLatin1String("--bucle")) {
            c.loop = sendOptions = true;
        } else if (option == QLatin1String("--intervalo")) {
            if (!wholeNumber(value, 1, kMaxInterval, &c.interval))
                return bad(QStringLiteral("el intervalo «%1» no es un número de segundos de 1 a %2.")
                               .arg(value)
                               .arg(kMaxInterval));
            sendOptions = true;
        } else if (option == QLatin1String("--veces")) {
            if (!wholeNumber(value, 1, kMaxTimes, &c.times))
                return bad(QStringLiteral("«--veces %1»: el número de veces va de 1 a %2.")
                               .arg(value)
                               .arg(kMaxTimes));
            c.loop = sendOptions = true;
        } else if (option == QLatin1String("--programa")) {
            ok = setMode(Command::Mode::Schedule, option);
        } else if (option == QLatin1String("--detener")) {
            ok = setMode(Command::Mode::Stop, option);
        } else if (option == QLatin1String("--estado")) {
            ok = setMode(Command::Mode::State, option);
        } else if (option == QLatin1String("--dispositivos")) {
            ok = setMode(Command::Mode::Devices, option);
        } else if (option == QLatin1String("--probar")) {
            ok = setMode(Command::Mode::Test, option);
        } else if (option == QLatin1String("--identificar")) {
            ok = setMode(Command::Mode::Identify, option);
        } else if (option == QLatin1String("--version")) {
            ok = setMode(Command::Mode::Version, option);
        } else if (option == QLatin1String("--help") || option == QLatin1String("-h")) {
            ok = setMode(Command::Mode::Help, option);
        } else if (option.startsWith(QLatin1Char('-'))) {
            return bad(QStringLiteral("opción desconocida «%1».").arg(option));
        } else {
            return bad(QStringLiteral("sobra «%1».").arg(option));
        }
        if (!ok)
            return bad(c.error);
    }
    if (c.mode == Command::Mode::Measure && c.files.isEmpty())
        return bad(QStringLiteral("falta el archivo de «--medir»."));
    if (sendOptions && c.mode != Command::Mode::Send)
        return bad(QStringLiteral("«--bucle», «--intervalo» y «--veces» solo valen con «--enviar»."));
    return c;
}

QString helpText()
{
    return QStringLiteral(
        "Uso: pregonal [ORDEN]\n"
        "Emite un mensaje hablado por un transmisor de radio. Sin orden, abre la ventana.\n"
        "\n"
        "Órdenes (ninguna abre ventanas ni necesita pantalla):\n"
        "  --enviar ARCHIVO    envía el mensaje una vez con los valores guardados de la estación\n"
        "      --bucle         lo envía una y otra vez hasta que se le pare (Ctrl+C, SIGTERM)\n"
        "      --intervalo N   pausa de N segundos entre envíos (de 1 a 3600; por omisión, la guardada)\n"
        "      --veces N       lo envía N veces y acaba\n"
        "                      (con una estación en marcha, se lo entrega y espera su turno)\n"
        "  --programa          ejecuta la programación hasta que se le pare\n"
        "  --detener           para lo que está enviando la estación en marcha\n"
        "  --estado            muestra qué hace la estación en marcha y su próxima emisión\n"
        "  --dispositivos      muestra las tarjetas de sonido y el dispositivo que activa el transmisor\n"
        "  --probar            prueba de transmisión: tono de 1 kHz durante 2 segundos\n"
        "  --identificar       envía la identificación de la estación (indicativo en Morse o su grabación)\n"
        "  --medir ARCHIVO...  mide la sonoridad y el pico de cada archivo y la ganancia que recibiría\n"
        "  --version           muestra la versión\n"
        "  --help, -h          muestra esta ayuda\n"
        "\n"
        "Estado de salida: 0 si todo fue bien (también al pararlo), 1 si falló una transmisión\n"
        "o no hay estación en marcha para --detener y --estado, 2 si la orden está mal escrita.\n");
}
