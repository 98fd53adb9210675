#pragma once

#include <QString>

#include <stdexcept>

// A device operation that could not be carried out; the text says why, in Spanish.
class DeviceError : public std::runtime_error
{
public:
    explicit DeviceError(const QString &reason) : std::runtime_error(reason.toStdString()) {}
    QString reason() const { return QString::fromStdString(what()); }
};
