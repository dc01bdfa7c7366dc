#pragma once

#include <QString>

#include <optional>

class QWidget;

// The file-open dialog. The filter is given as pairs of description and
// pattern separated by "|", e.g. "HEX files (*.hex)|*.hex". Cancelling leaves
// an empty file name. A raw binary image does not say where it loads, so for
// one the dialog asks that too.
class FileDialog {
public:
    virtual ~FileDialog() = default;

    virtual void setFilter(const QString &filter) = 0;
    virtual void showOpen() = 0; // modal
    virtual QString fileName() const = 0;
    // Where the first byte of the binary file goes; nothing when cancelled.
    virtual std::optional<quint32> askBaseAddress(const QString &fileName) = 0;
};

class QtFileDialog : public FileDialog {
public:
    explicit QtFileDialog(QWidget *parent) : m_parent(parent) {}

    void setFilter(const QString &filter) override { m_filter = filter; }
    void showOpen() override;
    QString fileName() const override { return m_fileName; }
    std::optional<quint32> askBaseAddress(const QString &fileName) override;

private:
    QWidget *m_parent;
    QString m_filter;
    QString m_fileName;
};

// The dialog filter "desc|pattern|desc|pattern" in Qt's "desc (pattern);;..." form.
QString qtNameFilters(const QString &filter);
