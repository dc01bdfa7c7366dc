#include "shared/makefolder.h"

#include <filesystem>
#include <system_error>

QString makeFolder(const QString &path)
{
    std::error_code error;
    const std::filesystem::path folder(path.toStdU16String());
    std::filesystem::create_directories(folder, error); // a file there is "not a directory"
    if (!error)
        return {};
    const QString reason = QString::fromStdString(error.message());
    return reason.isEmpty() ? QStringLiteral("error %1").arg(error.value())
                            : reason.front().toLower() + reason.mid(1);
}
