// The window that lists changes: its rows, total and details, and its pages saved and printed
// through the report engine.

#include "screens/tchangeswindow.h"
#include "scripteddialogs.h"

#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

class tst_TChangesWindow : public QObject
{
    Q_OBJECT

    static TChangesWindow::Texts texts()
    {
        return {QStringLiteral("Prévia da Exportação"),
                {QStringLiteral("Filial"), QStringLiteral("Nome"), QStringLiteral("Incluídos")},
                QStringLiteral("Dias da filial"),
                QStringLiteral("Fechar"),
                QStringLiteral("Salvar"),
                QStringLiteral("Imprimir"),
                QStringLiteral("QMR07702")};
    }

private slots:
    void totalStaysLastAndDetailsFollowTheRow_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("details");
        QTest::newRow("first branch") << 0 << QStringList{"03/01/2005  incluído"};
        QTest::newRow("second branch") << 1 << QStringList{"04/01/2005  incluído", "x"};
        QTest::newRow("total") << 2 << QStringList();
    }

    void totalStaysLastAndDetailsFollowTheRow()
    {
        QFETCH(int, row);
        QFETCH(QStringList, details);
        TChangesWindow window(texts());
        window.SetTotal({"Total", "", "3"});
        window.AddRow({"0002", "Dois", "1"}, {"03/01/2005  incluído"});
        window.AddRow({"0004", "Quatro", "2"}, {"04/01/2005  incluído", "x"});
        QCOMPARE(window.Table()->rowCount(), 3);
        QCOMPARE(window.Table()->item(2, 0)->text(), QStringLiteral("Total"));
        window.Table()->selectRow(row);
        window.DetailsButton()->click();
        QStringList shown;
        for (int i = 0; i < window.Details()->count(); ++i)
            shown << window.Details()->item(i)->text();
        QCOMPARE(shown, details);
        QCOMPARE(window.SaveButton()->accessibleName(), QStringLiteral("Salvar"));
    }

    void savedThroughTheReportEngine_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("starts");
        QTest::newRow("PDF") << "previa.pdf" << QByteArray("%PDF");
        QTest::newRow("CSV") << "previa.csv"
                             << QByteArray("\xEF\xBB\xBF"
                                           "Filial;Nome;Incluídos\r\n0002;Dois;1\r\nTotal;;1\r\n");
        QTest::newRow("cancelled") << "" << QByteArray();
    }

    void savedThroughTheReportEngine()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, starts);
        QTemporaryDir dir;
        ScriptedDialogs dialogs;
        dialogs.saveAnswer = file.isEmpty() ? QString() : dir.filePath(file);
        TChangesWindow window(texts());
        window.AddRow({"0002", "Dois", "1"});
        window.SetTotal({"Total", "", "1"});
        window.SaveButton()->click();
        QCOMPARE(dialogs.saveRequests.size(), 1);
        QVERIFY(dialogs.messages.isEmpty());
        if (file.isEmpty())
            return;
        QFile saved(dir.filePath(file));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll().startsWith(starts));
    }

    void printedOnThePrinterSetUp_data()
    {
        QTest::addColumn<bool>("accepted");
        QTest::newRow("printed") << true;
        QTest::newRow("set-up cancelled") << false;
    }

    void printedOnThePrinterSetUp()
    {
        QFETCH(bool, accepted);
        QTemporaryDir dir;
        ScriptedDialogs dialogs;
        dialogs.printAnswer = accepted;
        dialogs.printFile = dir.filePath("impresso.pdf");
        TChangesWindow window(texts());
        window.AddRow({"0002", "Dois", "1"});
        QCOMPARE(window.PrintButton()->accessibleName(), QStringLiteral("Imprimir"));
        window.PrintButton()->click();
        QVERIFY(dialogs.messages.isEmpty());
        QFile printed(dialogs.printFile);
        QCOMPARE(printed.open(QIODevice::ReadOnly), accepted);
        if (accepted)
            QVERIFY(printed.readAll().startsWith("%PDF"));
    }
};

QTEST_MAIN(tst_TChangesWindow)
#include "tst_tchangeswindow.moc"
