#ifndef LIMITCOMMAND_H
#define LIMITCOMMAND_H

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

struct LimitCrossing;

// The user's command for a limit crossing (--on-limit): a program and its
// arguments, started without a shell, with the crossing in its environment:
// RAVELO_STATE (high, low or ok), RAVELO_VALUE ("5.234", "OL" for an
// overload), RAVELO_UNIT ("V") and RAVELO_TIME. Its standard input and output
// are the null device (standard output carries the readings); its standard
// error is the recorder's.
//
// The recording never waits for it. A command that cannot start, ends with a
// status other than 0 or is killed is told with the crossing it ran for; the
// same failure again within a minute is counted and told with the next
// message, or at the end. At the end of the run the commands still running
// get a few seconds, then are stopped (told).
class LimitCommand
{
public:
    using Tell = std::function<void(const QString &)>;

    // The same failure is told at most once in this time.
    static constexpr int RepeatToldAfterMs = 60000;
    // A crossing while this many commands still run starts none (told).
    static constexpr int MaxRunning = 16;
    static constexpr int FinishWaitMs = 5000;

    LimitCommand() = default;
    // `tell`: where a line for standard error goes.
    LimitCommand(const QStringList &programAndArguments, Tell tell);

    // The words of a command line as a POSIX shell splits them: blanks part
    // words; 'single quotes' keep everything; "double quotes" keep everything
    // but \" \\ \$ \`; a backslash outside quotes keeps the next character.
    // Nothing is expanded ($HOME, *, ~ stay as they are). Nothing, with
    // *error, for a quote left open, a backslash at the end, or a shell
    // operator (| & ; < > ( ) `) outside quotes, which no program would want
    // as an argument.
    static std::optional<QStringList> split(const QString &commandLine, QString *error);
    // The file `program` stands for, found as a shell finds it (a name with a
    // '/' as it is, else in PATH); empty, with *error ("not found in PATH",
    // "no such program", "not executable", ...), when it would not run.
    static QString findProgram(const QString &program, QString *error);

    bool isEmpty() const { return m_command.isEmpty(); }
    void start(const LimitCrossing &crossing);
    // Waits at most timeoutMs for the commands still running, tells what is
    // left to tell, and stops the commands that still run.
    void finish(int timeoutMs = FinishWaitMs);

private:
    class Runs;
    QStringList m_command;
    std::shared_ptr<Runs> m_runs; // shared by the copies
};

#endif // LIMITCOMMAND_H
