#include "controls/tedit.h"
#include "core/dialogs.h"
#include "core/eventboundary.h"
#include "core/exceptions.h"
#include "scripteddialogs.h"

#include <QEventLoop>
#include <QTimer>
#include <QtTest>

#include <stdexcept>

class tst_EventBoundary : public QObject
{
    Q_OBJECT

private slots:
    void failuresAreShownOnce_data();
    void failuresAreShownOnce();
    void directCallsLetFailuresPass();
    void programTextChangeAtTopLevelIsCaught();
    void nestedEventLoopIsItsOwnBoundary();
    void mensErro_data();
    void mensErro();
};

enum class Failure { None, Abort, HostError, ServerError, StdError, Unknown };
Q_DECLARE_METATYPE(Failure)

static void fail(Failure failure)
{
    switch (failure) {
    case Failure::None:
        return;
    case Failure::Abort:
        throw EAbort();
    case Failure::HostError:
        throw EDatabaseError(QStringLiteral("Falha na consulta."));
    case Failure::ServerError:
        throw EServerError(QStringLiteral("Servidor recusou."), -32000);
    case Failure::StdError:
        throw std::runtime_error("falha interna");
    case Failure::Unknown:
        throw 42;
    }
}

void tst_EventBoundary::failuresAreShownOnce_data()
{
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<bool>("completed");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("success") << Failure::None << true << QStringList();
    QTest::newRow("abort is silent") << Failure::Abort << false << QStringList();
    QTest::newRow("host error") << Failure::HostError << false
                                << QStringList{QStringLiteral("Falha na consulta.")};
    QTest::newRow("server error") << Failure::ServerError << false
                                  << QStringList{QStringLiteral("Servidor recusou.")};
    QTest::newRow("std exception")
        << Failure::StdError << false << QStringList{QStringLiteral("falha interna")};
    QTest::newRow("anything else")
        << Failure::Unknown << false << QStringList{QStringLiteral("Erro inesperado.")};
}

void tst_EventBoundary::failuresAreShownOnce()
{
    QFETCH(Failure, failure);
    QFETCH(bool, completed);
    QFETCH(QStringList, shown);

    ScriptedDialogs dialogs;
    bool returned = false;
    bool threw = false;
    try {
        returned = host::guard(nullptr, [&] { fail(failure); });
    } catch (...) {
        threw = true;
    }
    QVERIFY(!threw);
    QCOMPARE(returned, completed);
    QCOMPARE(dialogs.texts(), shown);
    for (const auto &message : std::as_const(dialogs.messages))
        QCOMPARE(message.kind, TMsgDlgType::mtError);
}

void tst_EventBoundary::directCallsLetFailuresPass()
{
    ScriptedDialogs dialogs;
    QStringList trace;
    host::guard(nullptr, [&] {
        try {
            host::guard(nullptr, [&] {
                trace << "inner";
                fail(Failure::ServerError);
                trace << "after failure";
            });
        } catch (const EServerError &) {
            trace << "caller saw it";
            throw;
        }
        trace << "not reached";
    });
    QCOMPARE(trace, (QStringList{"inner", "caller saw it"}));
    QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("Servidor recusou.")});
}

void tst_EventBoundary::programTextChangeAtTopLevelIsCaught()
{
    ScriptedDialogs dialogs;
    TEdit edit;
    edit.OnChange = [](QObject *) { fail(Failure::HostError); };

    edit.SetText(QStringLiteral("a"));
    QCOMPARE(dialogs.texts().size(), 1);

    // Set from inside a handler, the change handler's failure reaches that handler.
    bool handlerSawIt = false;
    host::guard(&edit, [&] {
        try {
            edit.SetText(QStringLiteral("b"));
        } catch (const EDatabaseError &) {
            handlerSawIt = true;
            throw;
        }
    });
    QVERIFY(handlerSawIt);
    QCOMPARE(dialogs.texts().size(), 2);
}

void tst_EventBoundary::nestedEventLoopIsItsOwnBoundary()
{
    ScriptedDialogs dialogs;
    bool outerFinished = false;
    host::guard(nullptr, [&] {
        QEventLoop loop;
        QTimer::singleShot(0, &loop,
                           [&] { host::guard(nullptr, [] { fail(Failure::StdError); }); });
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
        outerFinished = true;
    });
    QVERIFY(outerFinished);
    QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("falha interna")});
}

void tst_EventBoundary::mensErro_data()
{
    QTest::addColumn<bool>("abandon");
    QTest::newRow("abandons") << true;
    QTest::newRow("goes on") << false;
}

void tst_EventBoundary::mensErro()
{
    QFETCH(bool, abandon);
    ScriptedDialogs dialogs;
    bool after = false;
    const bool completed = host::guard(nullptr, [&] {
        MensErro(QStringLiteral("Filial não cadastrada."), abandon);
        after = true;
    });
    QCOMPARE(completed, !abandon);
    QCOMPARE(after, !abandon);
    QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("Filial não cadastrada.")});
    QCOMPARE(dialogs.messages.first().kind, TMsgDlgType::mtError);
}

QTEST_MAIN(tst_EventBoundary)
#include "tst_eventboundary.moc"
