#pragma once

#include "busylines.h"
#include "busysource.h"
#include "cm108keyer.h"

#include <QByteArray>

class QSocketNotifier;

// The first byte of a CM108 input report, from a read of the hidraw node: reports are 4 bytes, and
// a stand-in may hand several at once (the last counts). -1 when there is none.
int cm108InputByte(const QByteArray &read);

// One input bit of a CM108-family interface (VOL_UP, VOL_DN, MUTE_PLAY, MUTE_REC), from the HID
// input reports of its hidraw node: the node the CM108 keyer uses ("auto": the output card's own
// chip). Its state is asked at open (a GET_INPUT request) and followed from each report; an
// interface that cannot say it at open is refused, never taken for clear.
class Cm108BusySource : public BusySource
{
    Q_OBJECT
public:
    // Stand-in nodes (a FIFO or a file holding reports) come only from tests.
    Cm108BusySource(const QString &device, const QString &outputCardId, const QString &inputText,
                    Cm108Keyer::NodeFinder finder = nullptr,
                    Cm108Keyer::Nodes nodes = Cm108Keyer::Nodes::HidrawOnly, QObject *parent = nullptr);
    ~Cm108BusySource() override;

    void open() override;
    void close() override;
    bool isOpen() const override { return m_fd >= 0; }
    bool busy() const override { return m_fd >= 0 && m_busy; }
    QString description() const override;

    // What the node has to say, as its notifier calls it.
    void readReports();

private:
    int stateAtOpen();
    void lose(const QString &why);

    QString m_device;
    QString m_outputCardId;
    QString m_inputText;
    BusyInput m_input;
    Cm108Keyer::NodeFinder m_finder;
    Cm108Keyer::Nodes m_nodes;
    QString m_node;
    int m_fd = -1;
    bool m_busy = false;
    QSocketNotifier *m_notifier = nullptr;
};
