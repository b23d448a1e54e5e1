// The shell's session: its embedded server answers only the shell that started it.

#include "data/operatorcontext.h"
#include "rpcclient.h"
#include "shellsession.h"

#include <QTemporaryDir>
#include <QTest>

using testsupport::RpcClient;

class tst_ShellSession : public QObject
{
    Q_OBJECT

private slots:
    void embeddedServerAnswersOnlyItsShell()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        ShellOptions options;
        options.databaseUrl = QStringLiteral("sqlite:") + folder.filePath("shell.db");

        QStringList tokens;
        for (int i = 0; i < 2; ++i) {
            ShellSession session;
            QString error;
            QVERIFY2(session.start(options, &error), qPrintable(error));
            const QString token = WebToken();
            QVERIFY2(token.size() >= 32, qPrintable(token));
            tokens.append(token);
            const int port = WebPort();
            const RpcClient::Reply stranger =
                RpcClient(port).call("GetPesqCaleProdu", {QStringLiteral("0001")});
            QCOMPARE(stranger.httpStatus, 401);
            const RpcClient::Reply own =
                RpcClient(port, token).call("GetPesqCaleProdu", {QStringLiteral("0001")});
            QVERIFY2(own.httpStatus == 200 && !own.isError(), qPrintable(own.describe()));
            session.stop();
        }
        // Each shell draws its own.
        QVERIFY(tokens.at(0) != tokens.at(1));
    }
};

QTEST_MAIN(tst_ShellSession)
#include "tst_shellsession.moc"
