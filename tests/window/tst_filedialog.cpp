#include "window/filedialog.h"

#include <QTest>

class TestFileDialog : public QObject {
    Q_OBJECT
private slots:
    void filterInQtForm_data();
    void filterInQtForm();
};

void TestFileDialog::filterInQtForm_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("qtFilter");
    QTest::newRow("pattern already in the description") << "HEX files (*.hex)|*.hex"
                                                        << "HEX files (*.hex)";
    QTest::newRow("pattern added") << "HEX files|*.hex"
                                   << "HEX files (*.hex)";
    QTest::newRow("two entries, two patterns") << "HEX files (*.hex)|*.hex|Any|*.hex;*.ihx"
                                               << "HEX files (*.hex);;Any (*.hex *.ihx)";
}

void TestFileDialog::filterInQtForm()
{
    QFETCH(QString, filter);
    QFETCH(QString, qtFilter);
    QCOMPARE(qtNameFilters(filter), qtFilter);
}

QTEST_APPLESS_MAIN(TestFileDialog)
#include "tst_filedialog.moc"
