#ifndef SERIALLINE_H
#define SERIALLINE_H

#include <QString>
#include <QStringList>

#include <functional>

// The meter's serial line, the same for the window and the recorder.
namespace SerialLine {

// "9600 8N1": 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control.
// Set on a QSerialPort (a template, so that this library needs no
// QtSerialPort), before or after it is opened. False as soon as the port
// refuses a setting.
template <typename Port>
bool configure(Port &port)
{
    return port.setBaudRate(Port::Baud9600) && port.setDataBits(Port::Data8)
        && port.setParity(Port::NoParity) && port.setStopBits(Port::OneStop)
        && port.setFlowControl(Port::NoFlowControl);
}

// Whether the port named `name` is still there: while the device the serial
// port library opens for it exists (a path as it is, a plain name under
// /dev/), or the system lists the name exactly as typed. Asked every tick:
// the cheap look at the file first, `systemPorts` (the system's list of port
// names) only when that finds nothing.
bool isPresent(const QString &name, const std::function<QStringList()> &systemPorts);

} // namespace SerialLine

#endif // SERIALLINE_H
