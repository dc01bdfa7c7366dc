#include "shared/openforreading.h"

#include "shared/runtimeerror.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

// Whether the system refuses to open path for reading for want of rights; Qt
// does not tell this apart from other reasons.
bool readingIsRefused(const QString &path)
{
    std::FILE *file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (file) {
        std::fclose(file);
        return false;
    }
    return errno == EACCES;
}
} // namespace

void openForReading(QFile &file)
{
    const QString path = file.fileName();
    std::error_code error;
    const std::filesystem::file_status status =
        std::filesystem::status(QFile::encodeName(path).toStdString(), error);
    if (error == std::errc::permission_denied)
        throw RuntimeError(RuntimeError::PermissionDenied,
                           QStringLiteral("Permission denied: %1 cannot be reached. Check that "
                                          "you may open the folders on its path.")
                               .arg(path));
    if (error || !std::filesystem::exists(status))
        throw RuntimeError(RuntimeError::FileNotFound,
                           QStringLiteral("File not found: %1").arg(path));
    if (!std::filesystem::is_regular_file(status))
        throw RuntimeError(
            RuntimeError::PathFileAccessError,
            QStringLiteral("Path/File access error: %1 is not a file. Choose a firmware file.")
                .arg(path));
    if (!file.open(QIODevice::ReadOnly)) {
        if (readingIsRefused(path))
            throw RuntimeError(RuntimeError::PermissionDenied,
                               QStringLiteral("Permission denied: %1 cannot be read. Check that "
                                              "you may read it.")
                                   .arg(path));
        throw RuntimeError(RuntimeError::PathFileAccessError,
                           QStringLiteral("Path/File access error: %1 cannot be opened: %2")
                               .arg(path, file.errorString()));
    }
}
