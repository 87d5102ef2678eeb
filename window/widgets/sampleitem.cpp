#include "widgets/sampleitem.h"

SampleItem::SampleItem(const QString &text)
    : QTableWidgetItem(text)
{
}

QVariant SampleItem::data(int role) const
{
    const QVariant stored = QTableWidgetItem::data(role);
    if (role == Qt::TextAlignmentRole && !stored.isValid())
        return Alignment;
    return stored;
}

QTableWidgetItem *SampleItem::clone() const
{
    return new SampleItem(*this);
}
