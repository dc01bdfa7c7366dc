#include "engine/engine.h"
#include "image/firmwarefile.h"
#include "shared/runtimeerror.h"

#include <QFileInfo>

// Starts the download of the file the operator picked with its first line;
// an empty name is a cancelled dialog. The running job is not touched until
// the new file has been read whole and found good: a cancel or a refused
// file leaves it going as it was.
void Engine::loadFirmwareFile(const QString &fileName, std::optional<quint32> base)
{
    if (fileName.isEmpty()) {
        emit message(QStringLiteral("Cancel"));
        return;
    }
    try {
        const FirmwareFile::Image image = FirmwareFile::read(fileName, base);
        if (image.entries.isEmpty()) {
            emit message(
                QStringLiteral("%1 is empty: there is nothing to download.").arg(fileName));
            return;
        }
        if (const QString refusal = pinRefusal(m_pin, fileName, image.sha256); !refusal.isEmpty()) {
            emit message(refusal + u'.');
            return;
        }
        startDownload(image.entries);
        m_job.file = QFileInfo(fileName).absoluteFilePath();
        m_job.sha256 = image.sha256;
        if (!m_port->isOpen())
            emit message(QStringLiteral("%1 is loaded, but the port is closed: nothing was "
                                        "sent. Open the port, then load the file again.")
                             .arg(fileName));
    } catch (const RuntimeError &error) {
        emit errorReported(error.number(), error.description());
    }
}

// The loader's steps once the file is read: the new lines replace the old,
// and line 1 goes out.
void Engine::startDownload(const QList<QByteArray> &entries)
{
    endJob(JobResult::Outcome::Replaced, currentPass()); // a job still running ends here
    m_replyWatch.newJob();
    state.verifying = false;
    state.downloadRequested = true;
    const auto count = qint16(entries.size()); // FirmwareFile keeps to HexFile::MaxEntries
    for (qint16 line = 1; line <= count; ++line)
        state.lines[line] = entries[line - 1];
    state.lineCount = count;
    emit downloadReady(count);
    state.lineIndex = 0;
    state.downloading = true;
    m_job = JobResult{};
    m_job.lines = count;
    m_job.versionReply = m_versionReply;
    m_jobRunning = m_port->isOpen(); // with the port closed nothing goes out: no job
    m_jobAnswered = false;
    if (m_jobRunning) {
        m_passClock.start();
        emit passStarted(Pass::Download, count);
    }
    sendNextLine();
}
