#include "station/historyview.h"

#include "record/historytext.h"
#include "record/recordstore.h"
#include "shared/readable.h"

#include <QCoreApplication>
#include <QDialog>
#include <QPlainTextEdit>
#include <QPointer>
#include <QThread>
#include <QVBoxLayout>

namespace {

constexpr int ShownRecords = 200;

QString historyText(const StoreAddress &store, int timeoutMs)
{
    RecordStore records(store, timeoutMs);
    HistoryFilter newest;
    newest.limit = ShownRecords;
    QString error;
    const std::optional<QList<JobRecord>> read = records.read(newest, &error);
    if (!read)
        return QStringLiteral("The store cannot be read: %1").arg(visibleText(error));
    if (read->isEmpty())
        return QStringLiteral("The store holds no record yet.");
    QStringList lines;
    for (const JobRecord &record : *read)
        lines << historyLine(record);
    return lines.join(u'\n');
}

} // namespace

void showStationHistory(const CliOptions &options, QWidget *parent)
{
    auto *dialog = new QDialog(parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(
        QStringLiteral("Newest records in %1").arg(visibleText(options.log.describe())));
    auto *text = new QPlainTextEdit(dialog);
    text->setReadOnly(true);
    text->setAccessibleName(QStringLiteral("Records"));
    text->setPlainText(QStringLiteral("Reading the store…"));
    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(text);
    dialog->resize(900, 500);
    dialog->show();
    QPointer<QPlainTextEdit> shown(text);
    QThread *reader =
        QThread::create([shown, store = options.log, timeoutMs = options.storeTimeoutMs] {
            const QString read = historyText(store, timeoutMs);
            QMetaObject::invokeMethod(
                qApp,
                [shown, read] {
                    if (shown)
                        shown->setPlainText(read);
                },
                Qt::QueuedConnection);
        });
    QObject::connect(reader, &QThread::finished, reader, &QObject::deleteLater);
    reader->start();
}
