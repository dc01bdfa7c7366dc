#include "record/tagtext.h"

#include "shared/settingsfile.h"

#include <QRegularExpression>

namespace {

const QString SettingsPrefix = QStringLiteral("tag.");

} // namespace

bool isTagKey(const QString &key)
{
    static const QRegularExpression keyPattern(QStringLiteral("^[A-Za-z0-9_.-]+$"));
    return keyPattern.match(key).hasMatch();
}

std::optional<std::pair<QString, QString>> parseTag(const QString &text)
{
    const qsizetype equals = text.indexOf(u'=');
    if (equals < 0)
        return std::nullopt;
    const QString key = text.left(equals);
    const QString value = text.mid(equals + 1);
    if (!isTagKey(key) || value.isEmpty())
        return std::nullopt;
    return std::pair{key, value};
}

RecordTags settingsTags(const QSettings &settings, QStringList *refusals)
{
    RecordTags tags;
    for (const QString &name : settings.childKeys()) {
        if (!name.startsWith(SettingsPrefix))
            continue;
        const QString key = name.mid(SettingsPrefix.size());
        const QString value = settingText(settings, name);
        if (isTagKey(key) && !value.isEmpty())
            tags.insert(key, value);
        else
            refusals->append(QStringLiteral("%1: %2=%3: a tag is tag.KEY=VALUE, KEY of letters, "
                                            "digits, '_', '-' and '.', and VALUE not empty")
                                 .arg(settings.fileName(), name, value));
    }
    return tags;
}
