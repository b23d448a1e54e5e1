#include "core/tmessages.h"
#include "scripteddialogs.h"

#include <QTemporaryFile>
#include <QtTest>

class tst_TMessages : public QObject
{
    Q_OBJECT

private slots:
    void lookup_data();
    void lookup();
    void keepsOrder();
    void loadsFile();
    void showMsgReturnsTheButton_data();
    void showMsgReturnsTheButton();
};

static const QString table = QStringLiteral("Fili_Empty|Filial deve ser informada.\r\n"
                                            "Excl|Confirma Exclusão?\n"
                                            "ANO_INV|Ano informado deve estar entre '0001' e "
                                            "'9999'.\n"
                                            "\n"
                                            "PIPE|a|b\n"
                                            "EMPTY|\n"
                                            "tpMes|Mês\n");

void tst_TMessages::lookup_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");

    QTest::newRow("line ended by CR LF") << "Fili_Empty"
                                         << "Filial deve ser informada.";
    QTest::newRow("accents") << "tpMes"
                             << "Mês";
    QTest::newRow("quotes") << "ANO_INV"
                            << "Ano informado deve estar entre '0001' e '9999'.";
    QTest::newRow("bar inside the text") << "PIPE"
                                         << "a|b";
    QTest::newRow("empty text") << "EMPTY"
                                << "";
    QTest::newRow("missing key") << "NOPE"
                                 << "";
    QTest::newRow("key case matters") << "excl"
                                      << "";
}

void tst_TMessages::lookup()
{
    QFETCH(QString, key);
    QFETCH(QString, text);
    TMessages messages;
    messages.LoadFromString(table);
    QCOMPARE(messages.Msg(key), text);
}

void tst_TMessages::keepsOrder()
{
    TMessages messages;
    messages.LoadFromString(table);
    QCOMPARE(messages.Keys(),
             (QStringList{"Fili_Empty", "Excl", "ANO_INV", "PIPE", "EMPTY", "tpMes"}));
    messages.Add("Excl", "Outra");
    QCOMPARE(messages.Keys().indexOf("Excl"), 1);
    QCOMPARE(messages.Msg("Excl"), QStringLiteral("Outra"));
}

void tst_TMessages::loadsFile()
{
    QTemporaryFile file;
    QVERIFY(file.open());
    file.write(table.toUtf8());
    file.close();
    TMessages messages;
    QVERIFY(messages.LoadFromFile(file.fileName()));
    QCOMPARE(messages.Count(), 6);
    QCOMPARE(messages.Msg("Excl"), QStringLiteral("Confirma Exclusão?"));
    QVERIFY(!messages.LoadFromFile(":/no/such.msg"));
}

void tst_TMessages::showMsgReturnsTheButton_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("yes") << mrYes;
    QTest::newRow("no") << mrNo;
}

void tst_TMessages::showMsgReturnsTheButton()
{
    QFETCH(int, answer);
    ScriptedDialogs dialogs;
    dialogs.answers = {answer};
    TMessages messages;
    messages.LoadFromString(table);
    QCOMPARE(messages.ShowMsg("Excl", TMsgDlgType::mtConfirmation, mbYesNo, 0), answer);
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.first().kind, TMsgDlgType::mtConfirmation);
    QCOMPARE(dialogs.messages.first().text, QStringLiteral("Confirma Exclusão?"));
    QCOMPARE(dialogs.messages.first().buttons, mbYesNo);
}

QTEST_MAIN(tst_TMessages)
#include "tst_tmessages.moc"
