#pragma once

#include "calehost_export.h"
#include "core/events.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QObject>
#include <QVariantList>

#include <memory>

// The outcome of one remote call: the payload, or the failure's text and code.
struct CALEHOST_EXPORT TServerResult
{
    bool ok = false;
    QJsonValue payload;
    QString message;
    int code = 0;
};

// Connection to the application server: JSON-RPC 2.0 over HTTP, one POST per call to
// "/<ServerName>". Connecting does no network I/O; each call blocks its caller but keeps the GUI
// painting (timers and animations run, user input is held off) until the answer arrives.
class CALEHOST_EXPORT TNetConnection : public QObject
{
    Q_OBJECT
public:
    explicit TNetConnection(QObject *owner = nullptr);
    ~TNetConnection() override;

    QString ServerName() const { return m_serverName; }
    void SetServerName(const QString &name) { m_serverName = name; }
    QString Host() const { return m_host; }
    void SetHost(const QString &host);
    int Port() const { return m_port; }
    void SetPort(int port);
    // Bearer token; when empty at connecting time, the operator context's token is taken.
    QString Token() const { return m_token; }
    void SetToken(const QString &token) { m_token = token; }
    // When true, Call raises EServerError itself instead of returning a failed result.
    bool ThrowException() const { return m_throwException; }
    void SetThrowException(bool on) { m_throwException = on; }

    bool Connected() const { return m_connected; }
    void SetConnected(bool connected);
    // Raises BeforeConnect (where the screen sets Host and Port) and marks the connection open.
    void Open();
    void Close();

    // The remote interface; connects first when needed.
    TNetConnection *AppServer();
    // Calls a remote method with positional arguments (QString, QDate, int, QJsonObject ...);
    // connects first when needed. Failures come back as a result that is not ok.
    TServerResult Call(const QString &method, const QVariantList &params = {});

    TNotifyEvent BeforeConnect;
    TNotifyEvent AfterConnect;
    TNotifyEvent BeforeDisconnect;
    TNotifyEvent AfterDisconnect;

signals:
    // Emitted as each call leaves, with its method and arguments (for tracing).
    void called(const QString &method, const QVariantList &params);

private:
    struct Private;
    std::unique_ptr<Private> d;
    QString m_serverName;
    QString m_host = QStringLiteral("127.0.0.1");
    int m_port = 8211;
    QString m_token;
    bool m_throwException = false;
    bool m_connected = false;
    qint64 m_nextId = 1;
};

// The payload packet of a successful result; a failed one raises EServerError with the server's
// text when raiseOnError is set, else gives an empty packet.
CALEHOST_EXPORT QJsonObject CheckResultServ(const TServerResult &result, bool raiseOnError = true,
                                            int helpContext = 0);
