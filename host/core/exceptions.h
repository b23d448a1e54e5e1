#pragma once

#include "calehost_export.h"

#include <stdexcept>
#include <string>

#include <QString>

// Base of every failure that a screen's event chain can raise; carries the operator's text.
class CALEHOST_EXPORT Exception : public std::runtime_error
{
public:
    explicit Exception(const QString &message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    {}
    const QString &Message() const { return m_message; }

private:
    QString m_message;
};

// Silent abort: ends the running event; the event boundary shows nothing for it.
class CALEHOST_EXPORT EAbort : public Exception
{
public:
    EAbort()
        : Exception(QStringLiteral("Operation aborted"))
    {}
};

// A failed application-server call, with the text the operator sees.
class CALEHOST_EXPORT EServerError : public Exception
{
public:
    explicit EServerError(const QString &message, int code = 0)
        : Exception(message)
        , m_code(code)
    {}
    int Code() const { return m_code; }

private:
    int m_code;
};

// A failed database read through a query component.
class CALEHOST_EXPORT EDatabaseError : public Exception
{
public:
    using Exception::Exception;
};
