#pragma once

#include <QString>

class QWidget;

// The file-open dialog. The filter is given as pairs of description and
// pattern separated by "|", e.g. "HEX files (*.hex)|*.hex". Cancelling leaves
// an empty file name.
class FileDialog {
public:
    virtual ~FileDialog() = default;

    virtual void setFilter(const QString &filter) = 0;
    virtual void showOpen() = 0; // modal
    virtual QString fileName() const = 0;
};

class QtFileDialog : public FileDialog {
public:
    explicit QtFileDialog(QWidget *parent) : m_parent(parent) {}

    void setFilter(const QString &filter) override { m_filter = filter; }
    void showOpen() override;
    QString fileName() const override { return m_fileName; }

private:
    QWidget *m_parent;
    QString m_filter;
    QString m_fileName;
};

// The dialog filter "desc|pattern|desc|pattern" in Qt's "desc (pattern);;..." form.
QString qtNameFilters(const QString &filter);
