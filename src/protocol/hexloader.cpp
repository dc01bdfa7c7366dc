#include "protocol/hexfile.h"
#include "shared/runtimeerror.h"
#include "window/frmserial.h"
#include "window/progressbar.h"

#include <QPushButton>

// Lets the operator pick a HEX file and starts its download with the first
// line. The running job is not touched until the new file has been read whole
// and found good: a cancel or a refused file leaves it going as it was, also
// while the dialog is open.
void frmSerial::loadHexFile()
{
    try {
        CommonDialog1->setFilter(QStringLiteral("HEX files (*.hex)|*.hex"));
        CommonDialog1->showOpen();
        const QString fileName = CommonDialog1->fileName();
        if (fileName.isEmpty()) {
            messageBox->plain(QStringLiteral("Cancel"));
            return;
        }
        const QList<QByteArray> entries = HexFile::read(fileName);
        if (entries.isEmpty()) {
            messageBox->plain(
                QStringLiteral("%1 is empty: there is nothing to download.").arg(fileName));
            return;
        }
        state.VerifyMode = 0;
        state.DownloadRequested = 1;
        for (qint16 line = 1; line <= entries.size(); ++line)
            state.HexLines[line] = entries[line - 1];
        state.LineCount = qint16(entries.size());
        vbalProgressBar1->setMaximum(state.LineCount);
        vbalProgressBar1->setText(QStringLiteral("READY"));
        state.LineIndex = 0;
        Command5->setEnabled(true);
        state.DownloadActive = 1;
        sendNextLine();
    } catch (const RuntimeError &error) {
        showError(error);
    }
}
