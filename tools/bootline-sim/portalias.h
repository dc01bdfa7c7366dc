#pragma once

#include <QString>

// The name the window opens a port by: a symlink COM<n> in the alias folder,
// pointing to our pty. Held for the life of this object and removed after,
// but only while it still points where we made it point.
class PortAlias {
public:
    PortAlias() = default;
    ~PortAlias() { remove(); }
    PortAlias(const PortAlias &) = delete;
    PortAlias &operator=(const PortAlias &) = delete;

    // Links path to target, making the folder if needed. Refuses, with the
    // reason in error, when something that works already answers to path.
    bool claim(const QString &path, const QString &target, QString *error);

    void remove();

private:
    QString m_path;
    QString m_target;
};
