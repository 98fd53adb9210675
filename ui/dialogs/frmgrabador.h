#pragma once

#include "levelsettings.h"

#include <QDialog>

#include <functional>

class AudioDevice;
class FileDialog;
class MessageBoxes;
class QPushButton;

// The recorder: records a new message through the audio device into the path the save-as
// dialog gave. Left only through its buttons, or when the program ends (ending() says so).
// recorded() tells whether a recording was saved and is now the current message.
class frmgrabador : public QDialog
{
    Q_OBJECT
public:
    frmgrabador(QWidget *parent, AudioDevice &reproductor, const FileDialog &ventanas, MessageBoxes &boxes,
                const QString &previousFileName, std::function<bool()> ending);

    bool recorded() const { return m_recorded; }
    // The level on the air a fresh recording is checked against before it is saved.
    void setLevel(const LevelSettings &level) { m_level = level; }

    void Form_Load();
    void cmdgrabar_Click();
    void cmdcancelar_Click();

    QPushButton *cmdgrabar = nullptr;
    QPushButton *cmdcancelar = nullptr;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    bool keepTake();
    void giveBackPreviousMessage();
    void closeDeviceQuietly();
    void tellOperator(const QString &text, const QString &cause);
    void unload();

    AudioDevice &m_reproductor;
    const FileDialog &m_ventanas;
    MessageBoxes &m_boxes;
    std::function<bool()> m_ending;
    bool m_recorded = false;
    LevelSettings m_level;
    // The message current before the command: the device gets it back when no recording results.
    QString m_previousFileName;
    bool m_busy = false; // a button's handler is under way (it may be showing a box)
};
