#include "cli/optionsources.h"

#include "record/tagtext.h"
#include "shared/settingsfile.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QSettings>

namespace {

constexpr int MinimumStoreTimeoutMs = 100;
constexpr int MaximumStoreTimeoutMs = 600000;

// A password on the command line is in the process list for the whole run;
// one in a settings file is for the file's owner alone.
QString readStoreAddress(const Sources &sources, StoreAddress &target, QStringList &warnings)
{
    Given given = sources.given("log");
    if (!given.isSet())
        return {};
    auto address = parseStoreAddress(given.text);
    given.text = withoutPassword(given.text);
    if (const QString *error = std::get_if<QString>(&address))
        return sources.refusal("log", given,
                               QStringLiteral("a SQLite file, "
                                              "postgresql://user@host/db or none "
                                              "(%1)")
                                   .arg(*error));
    target = std::get<StoreAddress>(address);
    if (target.password.isEmpty())
        return {};
    if (given.inSettings)
        return passwordFileExposure(sources.settingsFile());
    warnings << QStringLiteral("the password in --log can be seen by every user of this machine "
                               "while the run lasts: keep it in ~/.pgpass instead");
    return {};
}

} // namespace

QString option(const char *name)
{
    return QString::fromLatin1(name);
}

Sources::Sources(const QCommandLineParser &parser, const QSettings *settings)
    : m_parser(parser), m_settings(settings)
{
}

Given Sources::given(const char *name) const
{
    if (m_parser.isSet(option(name)))
        return {m_parser.value(option(name))};
    if (m_settings && m_settings->contains(option(name)))
        return {settingText(*m_settings, option(name)), true};
    return {};
}

QString Sources::refusal(const char *name, const Given &given, const QString &rule) const
{
    if (given.inSettings)
        return QStringLiteral("%1: %2=%3: %2 takes %4")
            .arg(m_settings->fileName(), option(name), given.text, rule);
    return QStringLiteral("--%1 takes %2, not \"%3\"").arg(option(name), rule, given.text);
}

QString Sources::settingsFile() const
{
    return m_settings ? m_settings->fileName() : QString();
}

// Reads the value into target when it is given; says what is wrong with it, if anything.
QString readWholeNumber(const Sources &sources, const char *name, int lowest, int highest,
                        int &target)
{
    const Given given = sources.given(name);
    if (!given.isSet())
        return {};
    bool ok = false;
    const int value = given.text.toInt(&ok);
    if (!ok || value < lowest || value > highest)
        return sources.refusal(
            name, given, QStringLiteral("a whole number from %1 to %2").arg(lowest).arg(highest));
    target = value;
    return {};
}

// The settings file, where one is: the window's, or the one --config names.
QString openSettings(const QCommandLineParser &parser, std::optional<QSettings> &settings)
{
    const QString settingsFile =
        parser.isSet(option("config")) ? parser.value(option("config")) : bootlineSettingsFile();
    if (!parser.isSet(option("config")) && !QFileInfo::exists(settingsFile))
        return {};
    settings.emplace(settingsFile, QSettings::IniFormat);
    if (!QFileInfo(settingsFile).isReadable() || settings->status() != QSettings::NoError)
        return QStringLiteral("cannot read the settings file %1: it is not there, cannot be "
                              "opened, or is not in INI form")
            .arg(settingsFile);
    return {};
}

// The store, and how long a record may take to reach it.
QString readStoreOptions(const Sources &sources, CliOptions &options)
{
    for (const QString &error : {readStoreAddress(sources, options.log, options.warnings),
                                 readWholeNumber(sources, "store-timeout", MinimumStoreTimeoutMs,
                                                 MaximumStoreTimeoutMs, options.storeTimeoutMs)}) {
        if (!error.isEmpty())
            return error;
    }
    return {};
}

// The same, for a request that reads nothing else from the settings file.
QString readStoreOptions(const QCommandLineParser &parser, CliOptions &options)
{
    std::optional<QSettings> settings;
    if (QString error = openSettings(parser, settings); !error.isEmpty())
        return error;
    return readStoreOptions(Sources(parser, settings ? &*settings : nullptr), options);
}

// The --tag options over the tags there already (the settings'), which they
// win over; one key given two values here is a slip, and is refused.
QString readCommandLineTags(const QCommandLineParser &parser, RecordTags &tags)
{
    RecordTags given;
    for (const QString &text : parser.values(option("tag"))) {
        const auto tag = parseTag(text);
        if (!tag)
            return QStringLiteral("--tag takes KEY=VALUE, KEY of letters, digits, _, - and . and "
                                  "VALUE not empty, not \"%1\"")
                .arg(text);
        if (given.contains(tag->first) && given.value(tag->first) != tag->second)
            return QStringLiteral("--tag gives %1 two values: a record has one").arg(tag->first);
        given.insert(tag->first, tag->second);
    }
    tags.insert(given);
    return {};
}
