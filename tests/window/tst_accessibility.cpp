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
    void controlsGoByWhatTheyAre();
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

// The role follows from what the control is, and a button is named by the
// caption it shows, so that "click Open Port" finds it.
void TestAccessibility::controlsGoByWhatTheyAre()
{
    TestWindow t;
    t.window.show();
    const std::pair<const char *, QAccessible::Role> roles[] = {
        {"QPushButton", QAccessible::Button}, {"QLineEdit", QAccessible::EditableText},
        {"QGroupBox", QAccessible::Grouping}, {"QCheckBox", QAccessible::CheckBox},
        {"QLabel", QAccessible::StaticText},  {"ProgressBar", QAccessible::ProgressBar},
    };
    int checked = 0;
    for (QAccessibleInterface *control :
         descendants(QAccessible::queryAccessibleInterface(&t.window))) {
        QObject *object = control->object();
        for (const auto &[kind, role] : roles) {
            if (!object || !object->inherits(kind))
                continue;
            QCOMPARE(control->role(), role);
            if (role == QAccessible::Button)
                QCOMPARE(control->text(QAccessible::Name), object->property("text").toString());
            ++checked;
        }
    }
    QVERIFY(checked >= 15);
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
    const auto reply = [&](const QByteArray &text) { t.receive(rtuFrame(1, "B" + text)); };
    const QString file = writeFile(dir, "four.hex", hexFileRecords(4).join("\r\n") + "\r\n");
    t.engine.openPort();
    reply("VER=1");
    t.engine.loadFirmwareFile(file);
    QList<int> seen;
    for (int line = 0; line < 4; ++line) {
        QCOMPARE(value->currentValue().toInt(), t.window.panel().progressPosition());
        QCOMPARE(value->maximumValue().toInt(), t.window.panel().progressMaximum());
        QCOMPARE(bar->text(QAccessible::Value), t.window.panel().progressText());
        seen << value->currentValue().toInt();
        reply("OK");
    }
    QVERIFY2(seen.first() != seen.last(), "the bar never moved");
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
