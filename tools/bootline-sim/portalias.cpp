#include "bootline-sim/portalias.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The target of a symlink; empty when path is not one.
QString linkTarget(const QString &path)
{
    char target[PATH_MAX];
    const ssize_t length = ::readlink(QFile::encodeName(path).constData(), target, sizeof target);
    return length < 0 ? QString() : QFile::decodeName(QByteArray(target, length));
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

bool PortAlias::claim(const QString &path, const QString &target, QString *error)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("cannot make the folder %1").arg(folder);
        return false;
    }
    const QByteArray encoded = QFile::encodeName(path);
    struct stat entry;
    if (::lstat(encoded.constData(), &entry) == 0) {
        const QString existing = linkTarget(path);
        if (!S_ISLNK(entry.st_mode)) {
            *error =
                QStringLiteral("%1 already exists and is not a link; leaving it alone").arg(path);
            return false;
        }
        // A dangling link into /dev/pts is what a simulator leaves behind when it
        // is killed outright; its pty is gone, so the name is free again. So is a
        // link to our own pty: the number it named was freed and came back to us.
        if (existing != target) {
            if (QFileInfo::exists(path)) {
                *error = QStringLiteral("%1 is taken: it links to %2, which exists. Remove the "
                                        "link if nothing uses that port, or pick another port.")
                             .arg(path, existing);
                return false;
            }
            if (!existing.startsWith(QStringLiteral("/dev/pts/"))) {
                *error = QStringLiteral("%1 links to %2, which is missing; it was not made by "
                                        "this program, so it is left for you to remove.")
                             .arg(path, existing);
                return false;
            }
        }
        if (::unlink(encoded.constData()) != 0 && errno != ENOENT) {
            *error = QStringLiteral("cannot remove the stale link %1: %2").arg(path, systemError());
            return false;
        }
    }
    // symlink() does not overwrite, so a name taken meanwhile is not lost.
    if (::symlink(QFile::encodeName(target).constData(), encoded.constData()) != 0) {
        *error = QStringLiteral("cannot link %1 to %2: %3").arg(path, target, systemError());
        return false;
    }
    m_path = path;
    m_target = target;
    return true;
}

void PortAlias::remove()
{
    if (m_path.isEmpty())
        return;
    if (linkTarget(m_path) == m_target)
        ::unlink(QFile::encodeName(m_path).constData());
    m_path.clear();
}
