#pragma once

#include "csvtext.h"

#include <QObject>

// The log of every transmission: one line per transmission in registro.csv of the state folder,
// written and flushed as it ends, so that a crash loses at most the one on the air, and that one
// is written at the next start-up from the marker left at key-up. The file is rotated at
// RotateBytes, keeping KeptFiles older ones (registro.csv.1 the newest). Where built with
// libsystemd, each line also goes to the journal.
//
// Writing never throws or stops a transmission: a failure is reported once through writeFailed()
// and again only after a write has succeeded in between.
class TransmissionLog : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 RotateBytes = 1024 * 1024;
    static constexpr int KeptFiles = 5;
    static const QString Header;
    static const QString FileName;

    // $XDG_STATE_HOME/Pregonal, or ~/.local/state/Pregonal.
    static QString defaultFolder();
    explicit TransmissionLog(const QString &folder = defaultFolder(), QObject *parent = nullptr);

    QString folder() const { return m_folder; }
    QString filePath() const;
    // Whether lines also go to the systemd journal (when built with it; on by default).
    void setJournal(bool on) { m_journal = on; }
    static bool journalBuiltIn();

    // At key-up: notes inicio, origen and archivo, for the line of a crash.
    void transmissionStarted(const TransmissionRecord &started);
    // The same for all on the air at once: a loop, and a message sent in its pause.
    void transmissionStarted(const QList<TransmissionRecord> &onAir);
    // While on the air (the play's status updates): the last moment known alive, the fin of the
    // line if the program dies now.
    void stillOnAir();
    // At key-down, however it ended: writes the line and clears the note of key-up.
    bool transmissionEnded(const TransmissionRecord &record);
    // A line for something that was not on the air: a slot missed or skipped.
    bool append(const TransmissionRecord &record);
    // At start-up: a note of key-up left by a crash becomes an "interrumpida" line for each
    // transmission it names. Returns whether there was one.
    bool recoverInterrupted();

    // The last failure, empty while writing works.
    QString lastError() const { return m_error; }

signals:
    void writeFailed(const QString &message);

private:
    QString markerPath() const;
    void recoverNote(const QString &path);
    QString rotatedPath(int n) const;
    bool writeLine(const QString &line);
    void rotate();
    void failed(const QString &what, int errnoValue);
    void sendToJournal(const TransmissionRecord &record);

    QString m_folder;
    QString m_error;
    bool m_journal = true;
};

// The latest count lines of the log kept in folder (rotated files included), newest first, each
// as its seven fields.
QList<QStringList> readLatestLog(const QString &folder, int count);
