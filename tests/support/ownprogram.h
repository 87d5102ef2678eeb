#ifndef OWNPROGRAM_H
#define OWNPROGRAM_H

// The project's own programs (the simulator, the recorder, the window) as a
// test starts them. Built for another machine, they run through the emulator
// RAVELO_TEST_EMULATOR names (ctest sets it from the build's cross-compiling
// emulator, e.g. qemu-aarch64-static); peers such as python3, bash or a broker
// are the machine's own and are started directly.

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct OwnProgramCall
{
    QString program;
    QStringList arguments;
};

// The program and arguments that run `program` with `arguments` here.
inline OwnProgramCall ownProgramCall(const QString &program, const QStringList &arguments = QStringList())
{
    QStringList emulator = QProcess::splitCommand(qEnvironmentVariable("RAVELO_TEST_EMULATOR"));
    if (emulator.isEmpty())
        return {program, arguments};
    const QString runner = emulator.takeFirst();
    return {runner, emulator + QStringList(program) + arguments};
}

inline void startOwnProgram(QProcess *process, const QString &program, const QStringList &arguments)
{
    const OwnProgramCall call = ownProgramCall(program, arguments);
    process->start(call.program, call.arguments);
}

// Runs `program` to its end (killed after timeoutMs); its exit status, -1
// when it did not end by itself; its standard error and output where asked.
inline int runOwnProgram(const QString &program, const QStringList &arguments, int timeoutMs,
                         QByteArray *err = nullptr, QByteArray *out = nullptr,
                         const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    startOwnProgram(&process, program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (err)
        *err = process.readAllStandardError();
    if (out)
        *out = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// The words that run `program` in a shell command line, each quoted.
inline QString ownProgramShellWords(const QString &program)
{
    const OwnProgramCall call = ownProgramCall(program);
    QStringList words;
    for (const QString &word : QStringList(call.program) + call.arguments)
        words << "'" + QString(word).replace("'", "'\\''") + "'";
    return words.join(' ');
}

#endif // OWNPROGRAM_H
