#include "window/progressaccessible.h"

#include "window/progressbar.h"

#include <QAccessibleWidget>

namespace {

// The bar as a progress bar with a value, its text read as that value.
class ProgressBarAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit ProgressBarAccessible(ProgressBar *bar)
        : QAccessibleWidget(bar, QAccessible::ProgressBar)
    {
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value)
            return bar()->text();
        return QAccessibleWidget::text(kind);
    }

    QVariant currentValue() const override { return bar()->position(); }
    void setCurrentValue(const QVariant &) override {} // the engine moves it, nobody else
    QVariant maximumValue() const override { return bar()->maximum(); }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    ProgressBar *bar() const { return static_cast<ProgressBar *>(widget()); }
};

QAccessibleInterface *progressBarFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("ProgressBar") && object && object->isWidgetType())
        return new ProgressBarAccessible(static_cast<ProgressBar *>(object));
    return nullptr;
}

} // namespace

void installProgressBarAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(progressBarFactory);
        return true;
    }();
    Q_UNUSED(installed);
}
