#include "stationchannel.h"

#include "deviceerror.h"
#include "soundserver.h"
#include "stationfields.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include <cmath>
#include <utility>

namespace {
struct SourceItem
{
    BusySettings::Source source;
    const char *text;
};
const SourceItem kSources[] = {
    {BusySettings::Source::Ninguno, "Nada: se transmite sin esperar"},
    {BusySettings::Source::Audio, "El audio del receptor"},
    {BusySettings::Source::Serie, "Una línea de un puerto serie"},
    {BusySettings::Source::Gpio, "Una línea GPIO del ordenador"},
    {BusySettings::Source::Cm108, "Una entrada de la interfaz CM108"},
    {BusySettings::Source::Cat, "El silenciador del equipo (CAT)"},
};
const char *const kLines[] = {"DCD", "CTS", "DSR", "RI", "!DCD", "!CTS", "!DSR", "!RI"};
const char *const kCm108Inputs[] = {"VOL_DN",  "VOL_UP",  "MUTE_PLAY",  "MUTE_REC",
                                    "!VOL_DN", "!VOL_UP", "!MUTE_PLAY", "!MUTE_REC"};
const QString kPrefix = QStringLiteral("Canal: ");

using namespace stationfields;

// Fills box with the forms a line is chosen by; a stored one that is none of them stays, marked,
// so that accepting the dialog never changes it silently.
template <size_t N> void fillForms(QComboBox *box, const char *const (&forms)[N], const QString &stored)
{
    box->clear();
    for (const char *form : forms)
        box->addItem(QLatin1String(form), QLatin1String(form));
    int at = box->findData(stored.toUpper());
    if (at < 0) {
        box->addItem(QStringLiteral("%1 (no válida)").arg(stored), stored);
        at = box->count() - 1;
    }
    box->setCurrentIndex(at);
}

QComboBox *comboBox(QWidget *parent, const char *name)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

QWidget *pair(QWidget *parent, QWidget *first, const QString &secondText, QWidget *second)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(first);
    layout->addSpacing(12);
    layout->addWidget(buddyLabel(secondText, second));
    layout->addWidget(second);
    layout->addStretch(1);
    return row;
}
} // namespace

StationChannel::StationChannel(QWidget *parent, SoundServer &sound, std::function<BusySourceContext()> context)
    : QGroupBox(QStringLiteral("Canal libre:"), parent), m_sound(sound), m_context(std::move(context))
{
    setObjectName(QStringLiteral("FrameCanal"));
    auto *form = m_form = new QFormLayout(this);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    cboOcupado = comboBox(this, "cboOcupado");
    cboOcupado->setToolTip(QStringLiteral("Antes de activar el transmisor se espera a que el canal esté libre."));
    cboReceptor = comboBox(this, "cboReceptor");
    cboReceptor->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    cboReceptor->setMinimumContentsLength(28);
    spnUmbral = spinBox(this, "spnUmbral", BusySettings::MinUmbral, BusySettings::MaxUmbral, 1, -40,
                        QStringLiteral(" dBFS"));
    spnUmbral->setToolTip(QStringLiteral("Ocupado cuando el audio pasa de este nivel 30 ms o más; libre cuando "
                                         "baja 3 dB de él durante un segundo."));
    cboOcupadoLinea = comboBox(this, "cboOcupadoLinea");
    spnOcupadoPuerto = spinBox(this, "spnOcupadoPuerto", 0, 255, 1, 0, QString());
    spnOcupadoPuerto->setPrefix(QStringLiteral("COM"));
    spnOcupadoPuerto->setSpecialValueText(QStringLiteral("El del transmisor"));
    txtOcupadoGpio = lineEdit(this, "txtOcupadoGpio", QString(), QStringLiteral("gpiochip0:22"));
    txtOcupadoGpio->setToolTip(QStringLiteral("El chip y la línea, como gpiochip0:22; con «!» delante de la "
                                              "línea si indica ocupado a nivel bajo."));
    cboOcupadoCm108 = comboBox(this, "cboOcupadoCm108");
    spnLibre = spinBox(this, "spnLibre", 0, BusySettings::MaxLibreMs, 500, 2000, QStringLiteral(" ms"));
    spnLibre->setToolTip(QStringLiteral("El tiempo que el canal ha de llevar libre antes de transmitir."));
    spnEspera = spinBox(this, "spnEspera", BusySettings::MinEsperaSecs, BusySettings::MaxEsperaSecs, 10, 120,
                        QStringLiteral(" s"));
    spnEspera->setToolTip(QStringLiteral("Si el canal no queda libre en este tiempo, el mensaje no se envía y "
                                         "se anota «canal ocupado»."));
    spnIgnorar = spinBox(this, "spnIgnorar", 0, BusySettings::MaxIgnorarMs, 100, 500, QStringLiteral(" ms"));
    spnIgnorar->setToolTip(QStringLiteral("Tras soltar el transmisor no se escucha el canal durante este tiempo: "
                                          "la cola propia no cuenta como ocupado."));
    lblCanal = new QLabel(this);
    lblCanal->setObjectName(QStringLiteral("lblCanal"));
    lblCanal->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_waitRow = pair(this, spnLibre, QStringLiteral("Esperar &hasta:"), spnEspera);

    form->addRow(buddyLabel(QStringLiteral("Canal ocupado seg&ún:"), cboOcupado), cboOcupado);
    form->addRow(buddyLabel(QStringLiteral("Entrada del receptor:"), cboReceptor), cboReceptor);
    form->addRow(buddyLabel(QStringLiteral("Ocupado con m&ás de:"), spnUmbral), spnUmbral);
    form->addRow(buddyLabel(QStringLiteral("L&ínea de ocupado:"), cboOcupadoLinea), cboOcupadoLinea);
    form->addRow(buddyLabel(QStringLiteral("Puerto de esa línea:"), spnOcupadoPuerto), spnOcupadoPuerto);
    form->addRow(buddyLabel(QStringLiteral("Línea GPIO de ocupado:"), txtOcupadoGpio), txtOcupadoGpio);
    form->addRow(buddyLabel(QStringLiteral("Entrada de la CM&108:"), cboOcupadoCm108), cboOcupadoCm108);
    form->addRow(buddyLabel(QStringLiteral("Libre durante:"), spnLibre), m_waitRow);
    form->addRow(buddyLabel(QStringLiteral("Ignorar tras transmitir:"), spnIgnorar), spnIgnorar);
    form->addRow(QString(), lblCanal);

    m_remake.setSingleShot(true);
    m_remake.setInterval(300);
    connect(&m_remake, &QTimer::timeout, this, &StationChannel::listen);
    setValues(BusySettings());
    for (QComboBox *box : {cboOcupado, cboReceptor, cboOcupadoLinea, cboOcupadoCm108})
        connect(box, &QComboBox::currentIndexChanged, this, &StationChannel::listenSoon);
    for (QSpinBox *spin : {spnUmbral, spnOcupadoPuerto})
        connect(spin, &QSpinBox::valueChanged, this, &StationChannel::listenSoon);
    connect(txtOcupadoGpio, &QLineEdit::textChanged, this, &StationChannel::listenSoon);
    connect(cboOcupado, &QComboBox::currentIndexChanged, this, &StationChannel::showRows);
}

StationChannel::~StationChannel() = default;

void StationChannel::setValues(const BusySettings &values, BusySourceMaker makeSource)
{
    m_values = values;
    m_makeSource = std::move(makeSource);
    cboOcupado->clear();
    for (const SourceItem &item : kSources)
        cboOcupado->addItem(QString::fromUtf8(item.text), BusySettings::sourceName(item.source));
    if (values.ocupado == BusySettings::Source::Unknown)
        cboOcupado->addItem(QStringLiteral("«%1» (no válida)").arg(values.ocupadoText), values.ocupadoText);
    cboOcupado->setCurrentIndex(values.ocupado == BusySettings::Source::Unknown
                                    ? cboOcupado->count() - 1
                                    : cboOcupado->findData(BusySettings::sourceName(values.ocupado)));
    cboReceptor->clear();
    const SoundCardItems cards = soundCardItems(m_sound.inputs(), {values.receptor, values.receptornombre},
                                                QStringLiteral("La misma entrada para grabar"));
    for (const SoundCardItem &item : cards.items)
        cboReceptor->addItem(item.text, QStringList{item.choice.id, item.choice.description});
    cboReceptor->setCurrentIndex(cards.current);
    fillForms(cboOcupadoLinea, kLines, values.ocupadolinea);
    fillForms(cboOcupadoCm108, kCm108Inputs, values.ocupadocm108);
    spnUmbral->setValue(values.umbralDb);
    spnOcupadoPuerto->setValue(values.ocupadopuerto);
    txtOcupadoGpio->setText(values.ocupadogpio);
    spnLibre->setValue(values.libreMs);
    spnEspera->setValue(values.esperaSecs);
    spnIgnorar->setValue(values.ocupadoignorarMs);
    showRows();
    m_remake.stop();
    listen();
}

BusySettings StationChannel::chosen() const
{
    BusySettings s = m_values;
    s.ocupadoText = cboOcupado->currentData().toString();
    s.ocupado = BusySettings::Source::Unknown;
    for (const SourceItem &item : kSources)
        if (s.ocupadoText == BusySettings::sourceName(item.source))
            s.ocupado = item.source;
    const SoundCardChoice receptor = chosenCard(cboReceptor);
    s.receptor = receptor.id;
    s.receptornombre = receptor.description;
    s.umbralDb = spnUmbral->value();
    s.ocupadolinea = cboOcupadoLinea->currentData().toString();
    s.ocupadopuerto = spnOcupadoPuerto->value();
    s.ocupadogpio = txtOcupadoGpio->text().trimmed();
    s.ocupadocm108 = cboOcupadoCm108->currentData().toString();
    s.libreMs = spnLibre->value();
    s.esperaSecs = spnEspera->value();
    s.ocupadoignorarMs = spnIgnorar->value();
    return s;
}

void StationChannel::setEditable(bool editable)
{
    for (QWidget *w : std::initializer_list<QWidget *>{cboOcupado, cboReceptor, spnUmbral, cboOcupadoLinea,
                                                       spnOcupadoPuerto, txtOcupadoGpio, cboOcupadoCm108,
                                                       spnLibre, spnEspera, spnIgnorar})
        w->setEnabled(editable);
}

void StationChannel::setStationSource(BusySource *source, const BusySettings &values,
                                      const BusySourceContext &context)
{
    if (m_station)
        disconnect(m_station, nullptr, this, nullptr);
    m_station = source;
    m_stationValues = values;
    m_stationContext = context;
    m_stationKeyer = context.keyerSettings ? *context.keyerSettings : KeyerSettings();
    m_stationContext.keyerSettings = &m_stationKeyer;
    // Rebuilt by a reload while the dialog is open: the dialog listens on its own.
    if (source)
        connect(source, &QObject::destroyed, this, &StationChannel::listenSoon);
}

void StationChannel::stopListening()
{
    m_remake.stop();
    show(nullptr);
    m_source.reset();
}

// Only the rows the chosen source needs are shown; the dialog takes their height.
void StationChannel::showRows()
{
    using S = BusySettings::Source;
    const S source = chosen().ocupado;
    m_form->setRowVisible(cboReceptor, source == S::Audio);
    m_form->setRowVisible(spnUmbral, source == S::Audio);
    m_form->setRowVisible(cboOcupadoLinea, source == S::Serie);
    m_form->setRowVisible(spnOcupadoPuerto, source == S::Serie);
    m_form->setRowVisible(txtOcupadoGpio, source == S::Gpio);
    m_form->setRowVisible(cboOcupadoCm108, source == S::Cm108);
    m_form->setRowVisible(m_waitRow, source != S::Ninguno);
    m_form->setRowVisible(spnIgnorar, source != S::Ninguno);
}

// A source is opened only once the values have stopped changing for a moment: typing a line
// must not open a device at each key.
void StationChannel::listenSoon()
{
    m_source.reset();
    m_remake.start();
}

void StationChannel::listen()
{
    show(nullptr);
    m_source.reset();
    const BusySettings values = chosen();
    if (!values.on()) {
        lblCanal->setText(kPrefix + QStringLiteral("no se escucha"));
        return;
    }
    const BusySourceContext context = m_context ? m_context() : BusySourceContext();
    if (m_station && sameBusySource(values, context, m_stationValues, m_stationContext)) {
        show(m_station);
        if (!m_station->isOpen())
            showFailure(QStringLiteral("La estación no puede leer %1 ahora.").arg(m_station->description()));
        return;
    }
    if (m_makeSource)
        m_source = m_makeSource(values, context);
    if (!m_source) {
        lblCanal->setText(kPrefix + QStringLiteral("no se escucha"));
        return;
    }
    show(m_source.get());
    try {
        m_source->open();
    } catch (const DeviceError &e) {
        // A line, an interface or a radio the station listens to cannot be opened a second time.
        if (m_station && m_station->isOpen() && values.ocupado == m_stationValues.ocupado &&
            values.ocupado != BusySettings::Source::Audio) {
            lblCanal->setText(kPrefix + QStringLiteral("no se puede leer ahora: lo tiene abierto la estación"));
            lblCanal->setToolTip(e.reason() + QStringLiteral(" Al aceptar, la estación pasa a leer estos valores."));
            return;
        }
        showFailure(e.reason());
        return;
    }
    showState();
}

// Follows source on the live line, and nothing else.
void StationChannel::show(BusySource *source)
{
    for (const QMetaObject::Connection &c : std::exchange(m_following, {}))
        disconnect(c);
    m_shown = source;
    lblCanal->setToolTip(source ? source->description() : QString());
    if (!source)
        return;
    m_following = {connect(source, &BusySource::busyChanged, this, &StationChannel::showState),
                   connect(source, &BusySource::levelChanged, this, &StationChannel::showState),
                   connect(source, &BusySource::lost, this, &StationChannel::showFailure)};
    showState();
}

void StationChannel::showState()
{
    if (!m_shown || !m_shown->isOpen())
        return;
    QString text = kPrefix + (m_shown->busy() ? QStringLiteral("ocupado") : QStringLiteral("libre"));
    const double dB = m_shown->levelDb();
    if (!std::isnan(dB))
        text += dB > -100 ? QStringLiteral(" (%1 dBFS)").arg(std::lround(dB)) : QStringLiteral(" (silencio)");
    lblCanal->setText(text);
}

void StationChannel::showFailure(const QString &reason)
{
    lblCanal->setText(kPrefix + QStringLiteral("no se puede leer"));
    lblCanal->setToolTip(reason);
}
