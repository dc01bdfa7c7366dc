#include "cli/clihelp.h"

#include "cli/optiontable.h"
#include "shared/exitcode.h"

#include <QStringList>

namespace {

constexpr int LineWidth = 79;
constexpr int TextColumn = 28;

// Words filled into lines of the width, each line indented so.
QString wrapped(const QString &text, int indent, int firstLineUsed)
{
    QString out;
    int used = firstLineUsed;
    for (const QString &word : text.split(u' ', Qt::SkipEmptyParts)) {
        if (used > indent && used + 1 + word.size() > LineWidth) {
            out += u'\n' + QString(indent, u' ');
            used = indent;
        } else if (used > indent) {
            out += u' ';
            ++used;
        }
        out += word;
        used += int(word.size());
    }
    return out + u'\n';
}

QString entry(const QString &names, const QString &text, int column = TextColumn)
{
    QString line = QStringLiteral("  ") + names;
    if (line.size() + 2 > column)
        line += u'\n' + QString(column, u' ');
    else
        line += QString(column - line.size(), u' ');
    return line + wrapped(text, column, column);
}

// A line under a section's options, about the section as a whole.
QString note(const QString &text)
{
    return QStringLiteral("  ") + wrapped(text, 2, 2);
}

QString namesOf(const CliOption &option)
{
    QStringList names;
    for (const QString &name : option.names)
        names << (name.size() == 1 ? u'-' + name : QStringLiteral("--") + name);
    QString shown = names.join(QStringLiteral(", "));
    if (!option.valueName.isEmpty())
        shown += QStringLiteral(" <%1>").arg(option.valueName);
    return shown;
}

QString shortName(const CliOption &option)
{
    const QString &name = option.names.first();
    return name.size() == 1 ? u'-' + name : QStringLiteral("--") + name;
}

// What else a request takes than its section's options: for a station or a
// rerun, the options of a run of boards that it does not take.
QString alsoTakes(CliRequest request, HelpSection section)
{
    const bool likeARun = RunsOfBoards.testFlag(request);
    QStringList names;
    for (const CliOption &option : cliOptions()) {
        const bool taken = option.takenBy.testFlag(request);
        if (likeARun ? option.takenBy.testFlag(CliRequest::Run) && !taken
                     : taken && option.section != section)
            names << shortName(option);
    }
    if (request == CliRequest::Run)
        return {};
    if (likeARun)
        return note(QStringLiteral("Takes every option of a run of boards%1.")
                        .arg(names.isEmpty()
                                 ? QString()
                                 : QStringLiteral(" but ") + names.join(QStringLiteral(", "))));
    if (names.isEmpty())
        return {};
    return note(QStringLiteral("%1 also takes %2.")
                    .arg(requestKind(request).name, names.join(QStringLiteral(", "))));
}

struct Section {
    HelpSection section;
    QString heading;
    QList<CliRequest> requests; // whose usage and other options it names
};

QString sectionText(const Section &section)
{
    QString text = u'\n' + section.heading;
    if (section.requests.size() == 1)
        text += u' ' + requestKind(section.requests.first()).usage;
    text += u'\n';
    if (section.requests.size() > 1) {
        for (const CliRequest request : section.requests)
            text += QStringLiteral("  ") + requestKind(request).usage + u'\n';
    }
    if (section.section == HelpSection::Run)
        text += entry(QStringLiteral("FILE"),
                      QStringLiteral("Firmware to download and verify: Intel HEX (sent as it "
                                     "stands), Motorola S-record, ELF or raw binary (converted to "
                                     "Intel HEX records)."));
    for (const CliOption &option : cliOptions()) {
        if (option.section == section.section)
            text += entry(namesOf(option), option.help);
    }
    for (const CliRequest request : section.requests)
        text += alsoTakes(request, section.section);
    return text;
}

} // namespace

QString wrappedText(const QString &text, int indent)
{
    return wrapped(text, indent, indent);
}

QString cliHelpText()
{
    const QList<Section> sections{
        {HelpSection::Run, QStringLiteral("A run of boards:"), {CliRequest::Run}},
        {HelpSection::Line,
         QStringLiteral("The serial line, for %1:").arg(requestNames(RunsOfBoards)),
         {}},
        {HelpSection::Station, QStringLiteral("A station:"), {CliRequest::Station}},
        {HelpSection::RerunFailed, QStringLiteral("A rerun:"), {CliRequest::RerunFailed}},
        {HelpSection::Records,
         QStringLiteral("The record store:"),
         {CliRequest::CreateStore, CliRequest::ImportUnrecorded}},
        {HelpSection::History, QStringLiteral("The history:"), {CliRequest::History}},
        {HelpSection::Info,
         QStringLiteral("A file and the ports:"),
         {CliRequest::Info, CliRequest::ListPorts}},
        {HelpSection::General, QStringLiteral("Settings, help:"), {}},
    };
    QString text = QStringLiteral(
        "Usage: bootline-cli [options] [FILE]\n"
        "Loads firmware into boards through their resident loader, over a serial line:\n"
        "download, verify, and optionally a new bus address and the install command.\n"
        "Each request takes the options listed with it, and refuses any other.\n");
    for (const Section &section : sections)
        text += sectionText(section);
    text += entry(QStringLiteral("-h, --help"), QStringLiteral("This help."));
    text += entry(QStringLiteral("-v, --version"), QStringLiteral("The version."));
    text += QStringLiteral("\nExit codes:\n");
    for (const ExitCodeMeaning &code : ExitCodeMeanings)
        text += entry(QString::number(code.code), QString::fromUtf8(code.meaning), 8);
    return text;
}
