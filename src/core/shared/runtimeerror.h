#pragma once

#include <QString>
#include <exception>

// A failure at run time: a number the operator can quote and a description
// that says what went wrong. Thrown by any procedure; caught by the few that
// trap failures and, as a last resort, at the edge of every event.
class RuntimeError : public std::exception {
public:
    enum Number {
        InvalidCall = 5,
        Overflow = 6,
        OutOfMemory = 7,
        SubscriptOutOfRange = 9,
        PortNameRefused = 13, // shown as "Type mismatch", as the window always has
        InternalError = 51,
        FileNotFound = 53,
        DeviceIoError = 57,
        PermissionDenied = 70,
        PathFileAccessError = 75,
        InvalidFileFormat = 321,
        InvalidPortNumber = 8002,
        PortNotAvailable = 8010,
    };

    RuntimeError(int number, QString description);

    int number() const { return m_number; }
    QString description() const { return m_description; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    int m_number;
    QString m_description;
    QByteArray m_what;
};
