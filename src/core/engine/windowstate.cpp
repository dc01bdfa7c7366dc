#include "engine/windowstate.h"

#include "shared/runtimeerror.h"

QByteArray &HexLineTable::operator[](qint16 index)
{
    check(index);
    return m_entries[index];
}

const QByteArray &HexLineTable::operator[](qint16 index) const
{
    check(index);
    return m_entries[index];
}

void HexLineTable::check(qint16 index)
{
    if (index < 0 || index > LastIndex)
        throw RuntimeError(RuntimeError::SubscriptOutOfRange,
                           QStringLiteral("Subscript out of range: there is no line %1; "
                                          "the line table ends at %2.")
                               .arg(index)
                               .arg(LastIndex));
}
