#ifndef LIMITCOMMAND_H
#define LIMITCOMMAND_H

#include <QString>
#include <QStringList>

struct LimitCrossing;

// The user's command for a limit crossing (--on-limit): a program and its
// arguments, started without a shell and never waited for, with the crossing
// in its environment: RAVELO_STATE (high, low or ok), RAVELO_VALUE ("5.234",
// "OL" for an overload), RAVELO_UNIT ("V") and RAVELO_TIME. Its standard
// input and output are the null device (standard output carries the
// readings); its standard error is the recorder's.
class LimitCommand
{
public:
    LimitCommand() = default;
    explicit LimitCommand(const QStringList &programAndArguments) : m_command(programAndArguments) {}

    bool isEmpty() const { return m_command.isEmpty(); }
    // False with *error when the program would not start.
    bool start(const LimitCrossing &crossing, QString *error) const;

private:
    QStringList m_command;
};

#endif // LIMITCOMMAND_H
