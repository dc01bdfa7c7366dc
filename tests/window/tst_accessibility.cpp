#include "fakes/testwindow.h"
#include "link/rtuframe.h"
#include "support/hexrecords.h"
#include "support/testfiles.h"

#include <QAccessible>
#include <QTemporaryDir>
#include <QTest>

// What a screen reader or a UI automation tool finds on the window.
class TestAccessibility : public QObject {
    Q_OBJECT
private slots:
    void everyControlHasAName();
    void controlsGoByTheseNames_data();
    void controlsGoByTheseNames();
    void progressValueFollowsTheEngine();
};

// Every interface below the window, depth first.
QList<QAccessibleInterface *> descendants(QAccessibleInterface *parent)
{
    QList<QAccessibleInterface *> found;
    for (int i = 0; i < parent->childCount(); ++i) {
        QAccessibleInterface *child = parent->child(i);
        found << child << descendants(child);
    }
    return found;
}

QAccessibleInterface *accessibleOf(TestWindow &t, const QString &objectName)
{
    for (QAccessibleInterface *control :
         descendants(QAccessible::queryAccessibleInterface(&t.window)))
        if (control->object() && control->object()->objectName() == objectName)
            return control;
    return nullptr;
}

void TestAccessibility::everyControlHasAName()
{
    TestWindow t;
    t.window.show();
    const QList<QWidget *> controls = t.window.findChildren<QWidget *>();
    QStringList reached;
    for (QAccessibleInterface *control :
         descendants(QAccessible::queryAccessibleInterface(&t.window))) {
        const QString objectName = control->object() ? control->object()->objectName() : QString();
        QVERIFY2(!control->text(QAccessible::Name).isEmpty(),
                 qPrintable(objectName + " has no name"));
        reached << objectName;
    }
    for (QWidget *control : controls)
        QVERIFY2(reached.contains(control->objectName()),
                 qPrintable(control->objectName() + " is not reached from the window"));
}

void TestAccessibility::controlsGoByTheseNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QAccessible::Role>("role");
    const auto row = [](const char *control, const char *name, QAccessible::Role role) {
        QTest::newRow(control) << QString::fromLatin1(name) << role;
    };
    row("portBox", "Port", QAccessible::EditableText);
    row("linkLamp", "Link lamp", QAccessible::Client);
    row("openPortButton", "Open Port", QAccessible::Button);
    row("closePortButton", "Close Port", QAccessible::Button);
    row("downloadButton", "Open File and  Download", QAccessible::Button);
    row("installButton", "Install ", QAccessible::Button);
    row("queryButton", "?", QAccessible::Button);
    row("rtuGroup", "Modbus RTU", QAccessible::Grouping);
    row("rtuCheckBox", "Modbus RTU", QAccessible::CheckBox);
    row("addressLabel", "Addr Device", QAccessible::StaticText);
    row("addressBox", "Device address", QAccessible::EditableText);
    row("newAddressBox", "New address", QAccessible::EditableText);
    row("setAddressButton", "Set Addr", QAccessible::Button);
    row("progressBar", "Progress", QAccessible::ProgressBar);
    row("answerBox", "Answer", QAccessible::EditableText);
}

void TestAccessibility::controlsGoByTheseNames()
{
    QFETCH(QString, name);
    QFETCH(QAccessible::Role, role);
    TestWindow t;
    QAccessibleInterface *control = accessibleOf(t, QTest::currentDataTag());
    QVERIFY(control);
    QCOMPARE(control->text(QAccessible::Name), name);
    QCOMPARE(control->role(), role);
}

void TestAccessibility::progressValueFollowsTheEngine()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    TestWindow t;
    t.engine.setAddress("1");
    QAccessibleInterface *bar = accessibleOf(t, "progressBar");
    QVERIFY(bar);
    QAccessibleValueInterface *value = bar->valueInterface();
    QVERIFY(value);
    const auto reply = [&](const QByteArray &text) {
        t.port->incoming = rtuFrame(1, "B" + text);
        t.inside.receivePollTick();
    };
    const QString file = writeFile(dir, "four.hex", hexFileRecords(4).join("\r\n") + "\r\n");
    t.engine.openPort();
    reply("VER=1");
    t.engine.loadFirmwareFile(file);
    QList<int> seen;
    for (int line = 0; line < 4; ++line) {
        QCOMPARE(value->currentValue().toInt(), t.engine.progressPosition());
        QCOMPARE(value->maximumValue().toInt(), t.engine.progressMaximum());
        QCOMPARE(bar->text(QAccessible::Value), t.engine.progressText());
        seen << value->currentValue().toInt();
        reply("OK");
    }
    QVERIFY2(seen.first() != seen.last(), "the bar never moved");
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
