#include "limitcommand.h"

#include "decoder/limitwatch.h"
#include "output/journalwriter.h"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

namespace {

// The system's reason when it gave one; a detached start often gives none.
QString whyNotStarted(const QProcess &process)
{
    const QString reason = process.errorString();
    if (!reason.isEmpty() && reason != QLatin1String("Unknown error"))
        return reason;
    const QString program = process.program();
    const bool withPath = program.contains(QLatin1Char('/')) || program.contains(QLatin1Char('\\'));
    const QString found = withPath ? program : QStandardPaths::findExecutable(program);
    if (found.isEmpty() || !QFileInfo::exists(found))
        return QStringLiteral("no such program");
    if (QFileInfo(found).isDir())
        return QStringLiteral("a folder, not a program");
    if (!QFileInfo(found).isExecutable())
        return QStringLiteral("not executable");
    return QStringLiteral("it would not start");
}

} // namespace

bool LimitCommand::start(const LimitCrossing &crossing, QString *error) const
{
    if (m_command.isEmpty())
        return true;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("RAVELO_STATE"), crossing.stateName());
    environment.insert(QStringLiteral("RAVELO_VALUE"), crossing.valueText);
    environment.insert(QStringLiteral("RAVELO_UNIT"), crossing.unit);
    environment.insert(QStringLiteral("RAVELO_TIME"), JournalWriter::isoTimeText(crossing.time));

    QProcess process;
    process.setProgram(m_command.first());
    process.setArguments(m_command.mid(1));
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    if (process.startDetached())
        return true;
    *error = QStringLiteral("cannot run %1: %2").arg(m_command.first(), whyNotStarted(process));
    return false;
}
