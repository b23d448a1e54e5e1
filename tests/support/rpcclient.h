#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace testsupport {

// A small blocking JSON-RPC client of the application server, for tests. One per thread.
class RpcClient
{
public:
    struct Reply
    {
        int httpStatus = 0; // 0: no HTTP answer at all
        QByteArray body;
        QJsonObject json;
        QList<QPair<QByteArray, QByteArray>> headers;

        // The value of a response header (any letter case), empty when absent.
        QByteArray header(const QByteArray &name) const;

        bool isError() const { return json.contains(QStringLiteral("error")); }
        int errorCode() const;
        QString errorMessage() const;
        QJsonObject result() const { return json.value(QStringLiteral("result")).toObject(); }
        // The result packet's rows, each value as text (numbers in their shortest form).
        QList<QStringList> rows() const;
        // The first column of every row.
        QStringList column() const;
        // What to print when a check fails: status and body.
        QString describe() const;
    };

    explicit RpcClient(int port, QString token = {}, QString host = QStringLiteral("127.0.0.1"));

    // Sends this header with every call from now on (X-Operador, for one).
    void setHeader(const QByteArray &name, const QByteArray &value);

    // Calls a method with positional params.
    Reply call(const QString &method, const QJsonArray &params) const;
    // Posts a raw body to the RPC path (for malformed requests); token as given to the
    // constructor.
    Reply post(const QByteArray &body) const;
    // GET of any path (e.g. "/health").
    Reply get(const QString &path) const;
    // A request of any method to any path, with the token and these header lines.
    Reply request(const QByteArray &method, const QString &path,
                  const QList<QPair<QByteArray, QByteArray>> &headers = {}) const;

    // A change set for SetCaleProdu: fields CDFILIAL, CDPERIPRODU, DTPRODUCAO and the given
    // changes, each {"insert"|"delete", branch, periodicity, date}.
    static QJsonObject changeSet(const QList<QStringList> &changes);

private:
    QString m_host;
    int m_port;
    QString m_token;
    QList<QPair<QByteArray, QByteArray>> m_headers;
};

} // namespace testsupport
