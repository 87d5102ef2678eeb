#include "limitcommand.h"

#include "limits/limitwatch.h"
#include "journal/journalwriter.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include <map>

namespace {

const int StartWaitMs = 10000;
const int StopWaitMs = 1000;

// Characters a shell reads as an operator outside quotes.
const QString ShellOperators = QStringLiteral("|&;<>()`");

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n');
}

QString crossingText(const LimitCrossing &crossing)
{
    return QStringLiteral("%1 %2 %3, %4")
        .arg(crossing.stateName(), crossing.valueText, crossing.unit,
             crossing.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

} // namespace

std::optional<QStringList> LimitCommand::split(const QString &commandLine, QString *error)
{
    enum class Quote { None, Single, Double };
    Quote quote = Quote::None;
    int quoteAt = 0;
    QStringList words;
    QString word;
    bool inWord = false; // also an empty one: '' and "" are words
    const int size = commandLine.size();
    for (int i = 0; i < size; ++i) {
        const QChar c = commandLine.at(i);
        switch (quote) {
        case Quote::Single:
            if (c == QLatin1Char('\''))
                quote = Quote::None;
            else
                word += c;
            break;
        case Quote::Double:
            if (c == QLatin1Char('"')) {
                quote = Quote::None;
            } else if (c == QLatin1Char('\\') && i + 1 < size
                       && QStringLiteral("$`\"\\\n").contains(commandLine.at(i + 1))) {
                ++i;
                if (commandLine.at(i) != QLatin1Char('\n')) // a line continued
                    word += commandLine.at(i);
            } else {
                word += c;
            }
            break;
        case Quote::None:
            if (isBlank(c)) {
                if (inWord)
                    words << word;
                word.clear();
                inWord = false;
            } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
                quote = c == QLatin1Char('\'') ? Quote::Single : Quote::Double;
                quoteAt = i;
                inWord = true;
            } else if (c == QLatin1Char('\\')) {
                if (++i == size) {
                    *error = QStringLiteral("--on-limit: the command ends in a backslash, which escapes nothing");
                    return std::nullopt;
                }
                if (commandLine.at(i) != QLatin1Char('\n')) {
                    word += commandLine.at(i);
                    inWord = true;
                }
            } else if (ShellOperators.contains(c)) {
                *error = QStringLiteral("--on-limit runs the program without a shell: quote the '%1' "
                                        "to pass it on, or run sh -c '...'")
                             .arg(c);
                return std::nullopt;
            } else {
                word += c;
                inWord = true;
            }
            break;
        }
    }
    if (quote != Quote::None) {
        *error = QStringLiteral("--on-limit: the %1 quote at character %2 is not closed")
                     .arg(quote == Quote::Single ? QStringLiteral("single") : QStringLiteral("double"))
                     .arg(quoteAt + 1);
        return std::nullopt;
    }
    if (inWord)
        words << word;
    return words;
}

QString LimitCommand::findProgram(const QString &program, QString *error)
{
    bool withPath = program.contains(QLatin1Char('/'));
#ifdef Q_OS_WIN
    withPath = withPath || program.contains(QLatin1Char('\\'));
#endif
    const QString found = withPath ? program : QStandardPaths::findExecutable(program);
    const QFileInfo info(found);
    if (found.isEmpty())
        *error = QStringLiteral("not found in PATH");
    else if (!info.exists())
        *error = QStringLiteral("no such program");
    else if (info.isDir())
        *error = QStringLiteral("a folder, not a program");
    else if (!info.isExecutable())
        *error = QStringLiteral("not executable");
    else
        return found;
    return QString();
}

// The commands under way and the failures told, shared by the copies of a
// LimitCommand.
class LimitCommand::Runs
{
public:
    Runs(const QStringList &command, Tell tell) : m_command(command), m_tell(std::move(tell))
    {
        m_clock.start();
    }
    ~Runs() { stopRunning(); }

    void start(const LimitCrossing &crossing)
    {
        const QString why = crossingText(crossing);
        reap();
        if (m_running.size() >= MaxRunning) {
            failed(QStringLiteral("not started: %1 commands still run").arg(MaxRunning), why);
            return;
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("RAVELO_STATE"), crossing.stateName());
        environment.insert(QStringLiteral("RAVELO_VALUE"), crossing.valueText);
        environment.insert(QStringLiteral("RAVELO_UNIT"), crossing.unit);
        environment.insert(QStringLiteral("RAVELO_TIME"), JournalWriter::isoTimeText(crossing.time));

        auto *process = new QProcess(&m_owner);
        process->setProgram(m_command.first());
        process->setArguments(m_command.mid(1));
        process->setProcessEnvironment(environment);
        process->setStandardInputFile(QProcess::nullDevice());
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), &m_owner,
                         [this, process, why](int code, QProcess::ExitStatus status) {
                             m_running.removeOne(process);
                             process->deleteLater();
                             if (status == QProcess::CrashExit)
                                 failed(killedText(code), why);
                             else if (code != 0)
                                 failed(QStringLiteral("failed with exit status %1").arg(code), why);
                         });
        process->start();
        if (!process->waitForStarted(StartWaitMs)) {
            // The system's reason is often a plain "execve: ..."; ours names what is wrong.
            QString reason;
            if (!findProgram(m_command.first(), &reason).isEmpty())
                reason = process->errorString();
            failed(QStringLiteral("cannot run: %1").arg(reason), why);
            delete process;
            return;
        }
        m_running << process;
    }

    void finish(int timeoutMs)
    {
        const QDeadlineTimer deadline(timeoutMs);
        for (QProcess *process : QList<QProcess *>(m_running))
            process->waitForFinished(int(qMax<qint64>(deadline.remainingTime(), 0)));
        if (!m_running.isEmpty()) {
            tell(QStringLiteral("%1 still running %2 s after the end of the run: stopped (%3 of them)")
                     .arg(m_command.first())
                     .arg(timeoutMs / 1000.0)
                     .arg(m_running.size()));
            stopRunning();
        }
        for (auto &entry : m_failures) {
            Failure &failure = entry.second;
            if (failure.unsaid > 0)
                tell(QStringLiteral("%1 %2: %3 more times since the last message")
                         .arg(m_command.first(), entry.first)
                         .arg(failure.unsaid));
            failure.unsaid = 0;
        }
    }

private:
    struct Failure {
        qint64 toldAtMs = 0;
        int unsaid = 0; // happened since it was last told
    };

    static QString killedText(int code)
    {
#ifdef Q_OS_UNIX
        return QStringLiteral("was killed by signal %1").arg(code);
#else
        Q_UNUSED(code);
        return QStringLiteral("crashed");
#endif
    }

    void tell(const QString &text)
    {
        if (m_tell)
            m_tell(QStringLiteral("--on-limit: ") + text);
    }

    // Told now, or counted when the same was told less than a minute ago.
    void failed(const QString &what, const QString &crossing)
    {
        const qint64 now = m_clock.elapsed();
        const auto found = m_failures.find(what);
        if (found != m_failures.end() && now - found->second.toldAtMs < RepeatToldAfterMs) {
            ++found->second.unsaid;
            return;
        }
        Failure &failure = m_failures[what];
        QString text = QStringLiteral("%1 %2 (%3)").arg(m_command.first(), what, crossing);
        if (failure.unsaid > 0)
            text += QStringLiteral("; and %1 more times since the last message").arg(failure.unsaid);
        failure.toldAtMs = now;
        failure.unsaid = 0;
        tell(text);
    }

    // The commands that ended, told at once even while the event loop does
    // not run (a replay).
    void reap()
    {
        for (QProcess *process : QList<QProcess *>(m_running))
            process->waitForFinished(0);
    }

    void stopRunning()
    {
        for (QProcess *process : qAsConst(m_running)) {
            QObject::disconnect(process, nullptr, &m_owner, nullptr);
            process->terminate();
            if (!process->waitForFinished(StopWaitMs)) {
                process->kill();
                process->waitForFinished(StopWaitMs);
            }
            delete process;
        }
        m_running.clear();
    }

    QStringList m_command;
    Tell m_tell;
    QObject m_owner; // of the processes
    QList<QProcess *> m_running;
    QElapsedTimer m_clock;
    std::map<QString, Failure> m_failures;
};

LimitCommand::LimitCommand(const QStringList &programAndArguments, Tell tell)
    : m_command(programAndArguments)
{
    if (!m_command.isEmpty())
        m_runs = std::make_shared<Runs>(m_command, std::move(tell));
}

void LimitCommand::start(const LimitCrossing &crossing)
{
    if (m_runs)
        m_runs->start(crossing);
}

void LimitCommand::finish(int timeoutMs)
{
    if (m_runs)
        m_runs->finish(timeoutMs);
}
