#ifndef TESTS_TESTMETER_H
#define TESTS_TESTMETER_H

// A meter for the window's tests: the meter's end of a raw pseudo-terminal
// whose other end, `path`, the window opens; readings go out as frames.

#include "meter/frameencoder.h"

#include <QByteArray>
#include <QString>

#include <pty.h>
#include <termios.h>
#include <unistd.h>

struct TestMeter {
    TestMeter()
    {
        int slave = -1;
        char name[256] = {};
        if (openpty(&fd, &slave, name, nullptr, nullptr) != 0)
            return;
        termios raw {};
        tcgetattr(slave, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave, TCSANOW, &raw);
        ::close(slave);
        path = QString::fromLocal8Bit(name);
    }
    ~TestMeter() { hangUp(); }
    TestMeter(const TestMeter &) = delete;
    TestMeter &operator=(const TestMeter &) = delete;

    void hangUp()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    // A DC reading of `digits` in `unit`.
    bool send(const char *digits, const char *unit = "V")
    {
        MeterDisplay shown;
        shown.digits = QString::fromUtf8(digits);
        shown.unit = QString::fromUtf8(unit);
        shown.dc = true;
        QByteArray frame;
        return encodeFrame(shown, &frame)
            && ::write(fd, frame.constData(), size_t(frame.size())) == ssize_t(frame.size());
    }

    int fd = -1;
    QString path;
};

#endif // TESTS_TESTMETER_H
