#include "link/serialline.h"

#include "link/portproblem.h"

#include <QFileInfo>

bool SerialLine::isPresent(const QString &name, const std::function<QStringList()> &systemPorts)
{
    if (name.isEmpty())
        return false;
    if (QFileInfo::exists(PortProblem::devicePath(name)))
        return true;
    return systemPorts().contains(name, Qt::CaseSensitive);
}
