#include "window/filedialog.h"

#include "image/firmwarefile.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QStringList>

void QtFileDialog::showOpen()
{
    m_fileName =
        QFileDialog::getOpenFileName(m_parent, QString(), QString(), qtNameFilters(m_filter));
}

std::optional<quint32> QtFileDialog::askBaseAddress(const QString &fileName)
{
    const QString question =
        QStringLiteral("%1 is a raw binary image. At which address does its first byte go?")
            .arg(QFileInfo(fileName).fileName());
    QString label = question;
    QString text = QStringLiteral("0x08000000");
    for (;;) {
        bool ok = false;
        text = QInputDialog::getText(m_parent, QStringLiteral("Base address"), label,
                                     QLineEdit::Normal, text, &ok);
        if (!ok)
            return std::nullopt;
        if (const std::optional<quint32> base = FirmwareFile::parseAddress(text))
            return base;
        label = QStringLiteral("\"%1\" is no address from 0 to 0xFFFFFFFF (0x and hex digits, "
                               "or decimal).\n%2")
                    .arg(text, question);
    }
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
