#pragma once

#include "record/jobrecord.h"

#include <QSettings>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

// Tags as the operator writes them: KEY=VALUE on the command line, and
// tag.KEY=VALUE lines in the settings file.

// Letters, digits, '_', '-' and '.': a key that reads the same in a CSV
// header, a shell and a settings file.
bool isTagKey(const QString &key);

// KEY=VALUE, split at the first '='; no value when the key is not one or
// the value is empty.
std::optional<std::pair<QString, QString>> parseTag(const QString &text);

// The settings file's tag.KEY lines; each one that is not a tag is named in
// refusals and left out.
RecordTags settingsTags(const QSettings &settings, QStringList *refusals);
