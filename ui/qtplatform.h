#pragma once

#include "platform.h"

class QWidget;

// The file dialog on QFileDialog; the file-type list is kept in the old "description|pattern|" form.
class QtFileDialog : public FileDialog
{
public:
    explicit QtFileDialog(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }

    void setFilter(const QString &filter) override { m_filter = filter; }
    QString filter() const override { return m_filter; }
    void setFileName(const QString &path) override { m_fileName = path; }
    QString fileName() const override { return m_fileName; }
    bool showOpen() override;
    bool showSave() override;

    // "*.wav|*.wav|" -> "*.wav (*.wav)"
    static QStringList nameFilters(const QString &filter);

private:
    bool show(bool save);
    QWidget *m_parent;
    QString m_filter;
    QString m_fileName;
};

// Message boxes on QMessageBox, parented to the main window.
class QtMessageBoxes : public MessageBoxes
{
public:
    explicit QtMessageBoxes(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    int show(const QString &text, Buttons buttons, Icon icon, const QString &caption,
             const QString &detail = QString()) override;

private:
    QWidget *m_parent;
};
