#include "protocol/replykeyword.h"
#include "window/colors.h"
#include "window/frmserial.h"
#include "window/progressbar.h"
#include "window/timer.h"

#include <QLabel>
#include <QLineEdit>

// Shows the board's reply and acts on the first keyword it holds.
void frmSerial::Com_Parser()
{
    Text8->setText(QString::fromLatin1(state.RxText));
    const ReplyKeyword keyword = firstReplyKeyword(state.RxText);
    if (keyword != ReplyKeyword::None)
        ReplyWatch->setEnabled(false); // the board has answered
    switch (keyword) {
    case ReplyKeyword::Version:
        Timer3->setEnabled(false);
        Label2->setText(QStringLiteral("READY"));
        if (state.DownloadRequested == 1 && state.DownloadActive == 1)
            sendNextLine();
        break;
    case ReplyKeyword::Error:
        vbalProgressBar1->setText(QStringLiteral("ERROR"));
        vbalProgressBar1->setBarColor(Colour::toQColor(Colour::Red));
        state.VerifyMode = 0;
        break;
    case ReplyKeyword::Download:
        if (state.VerifyMode == 1) { // the verify pass is through
            vbalProgressBar1->setText(QStringLiteral("END"));
            vbalProgressBar1->setBarColor(Colour::toQColor(Colour::Green));
            state.VerifyMode = 0;
            state.DownloadActive = 0;
        } else { // the download pass is through: verify it
            vbalProgressBar1->setText(QStringLiteral("VERIFY"));
            state.VerifyMode = 1;
            state.LineIndex = 0;
            sendNextLine();
        }
        break;
    case ReplyKeyword::Format:
        vbalProgressBar1->setText(QString());
        vbalProgressBar1->setPosition(0);
        break;
    case ReplyKeyword::Ok:
        sendNextLine();
        break;
    case ReplyKeyword::None:
        break;
    }
}
