#pragma once

#include <QString>

#include <sys/types.h>

// The kernel subsystem of a character device, as sysfs names it ("hidraw", "gpio", "tty"...);
// empty when the kernel does not say. A keying setting that names the wrong device must be found
// out before the device is opened: opening a serial port raises its lines.
QString charDeviceSubsystem(dev_t device);
