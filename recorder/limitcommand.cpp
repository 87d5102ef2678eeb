#include "limitcommand.h"

#include "decoder/limitwatch.h"
#include "output/journalwriter.h"

#include <QProcess>
#include <QProcessEnvironment>

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
    *error = QStringLiteral("cannot run %1: %2").arg(m_command.first(), process.errorString());
    return false;
}
