#include "engine/enginestate.h"

#include "shared/runtimeerror.h"

QByteArray &LineTable::operator[](qint16 index)
{
    check(index);
    return m_entries[index];
}

const QByteArray &LineTable::operator[](qint16 index) const
{
    check(index);
    return m_entries[index];
}

void LineTable::check(qint16 index)
{
    if (index < 0 || index > LastIndex)
        throw RuntimeError(RuntimeError::SubscriptOutOfRange,
                           QStringLiteral("Subscript out of range: there is no line %1; "
                                          "the line table ends at %2.")
                               .arg(index)
                               .arg(LastIndex));
}
