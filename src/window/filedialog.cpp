#include "window/filedialog.h"

#include <QFileDialog>
#include <QStringList>

void QtFileDialog::showOpen()
{
    m_fileName =
        QFileDialog::getOpenFileName(m_parent, QString(), QString(), qtNameFilters(m_filter));
}

QString qtNameFilters(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString &description = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(u';', u' ');
        const QString inBrackets = u'(' + patterns + u')';
        filters << (description.contains(inBrackets) ? description
                                                     : description + u' ' + inBrackets);
    }
    return filters.join(QStringLiteral(";;"));
}
