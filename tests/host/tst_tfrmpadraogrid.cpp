#include "controls/tdbgrid.h"
#include "controls/tedit.h"
#include "controls/tlabel.h"
#include "controls/tpagecontrol.h"
#include "controls/tpanel.h"
#include "controls/tspeedbutton.h"
#include "core/tmessages.h"
#include "data/tclientdataset.h"
#include "data/tdataset.h"
#include "screens/tfrmpadraogrid.h"
#include "scripteddialogs.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QtTest>

// A screen as the modules write them: its own field, and handlers that call the base.
class Screen : public TfrmPadraoGrid
{
public:
    Screen()
    {
        data = new TClientDataSet(this);
        data->AddField("DTPRODUCAO", TFieldType::ftDate);
        dtsPadrao->SetDataSet(data);
        field = new TEdit(this);
        field->setObjectName("field");
        AlignTop(field);
    }
    void FormActivate(QObject *sender) override
    {
        ++activations;
        TfrmPadraoGrid::FormActivate(sender);
    }
    void FormClose(QObject *sender, int &action) override
    {
        closes << action;
        TfrmPadraoGrid::FormClose(sender, action);
        if (refuseClose)
            action = caNone;
    }
    void sbtIncluirClick(QObject *sender) override
    {
        TfrmPadraoGrid::sbtIncluirClick(sender);
        data->FieldByName("DTPRODUCAO")->SetAsDate(QDate(2026, 3, 2));
    }

    TClientDataSet *data;
    TEdit *field;
    int activations = 0;
    QList<int> closes;
    bool refuseClose = false;
};

class tst_TfrmPadraoGrid : public QObject
{
    Q_OBJECT

private slots:
    void toolBarPlaces_data();
    void toolBarPlaces();
    void partsByName();
    void commandsFollowTheState();
    void activationAndActiveWindow();
    void closeReleasesTheScreen_data();
    void closeReleasesTheScreen();
    void deleteAsksFirst_data();
    void deleteAsksFirst();
};

void tst_TfrmPadraoGrid::toolBarPlaces_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("hint");

    QTest::newRow("sbtIncluir") << "sbtIncluir" << 4 << 21 << "Incluir";
    QTest::newRow("sbtAlterar") << "sbtAlterar" << 25 << 21 << "Alterar";
    QTest::newRow("sbtExcluir") << "sbtExcluir" << 46 << 21 << "Excluir";
    QTest::newRow("sbtProcurar") << "sbtProcurar" << 67 << 21 << "Procurar";
    QTest::newRow("sbtVerificar") << "sbtVerificar" << 89 << 20 << "Verificar";
    QTest::newRow("sbtCancelar") << "sbtCancelar" << 125 << 21 << "Cancelar";
    QTest::newRow("sbtConfirmar") << "sbtConfirmar" << 146 << 21 << "Confirmar";
    QTest::newRow("sbtImprimir") << "sbtImprimir" << 182 << 21 << "Imprimir";
    QTest::newRow("sbtAjuda") << "sbtAjuda" << 218 << 21 << "Ajuda";
    QTest::newRow("sbtFechar") << "sbtFechar" << 254 << 21 << "Fechar";
}

void tst_TfrmPadraoGrid::toolBarPlaces()
{
    QFETCH(QString, name);
    QFETCH(int, left);
    QFETCH(int, width);
    QFETCH(QString, hint);

    Screen screen;
    auto *button = screen.findChild<TSpeedButton *>(name);
    QVERIFY(button);
    QCOMPARE(button->parentWidget(), screen.panMenu);
    QCOMPARE(button->geometry(), QRect(left, 4, width, 21));
    QCOMPARE(button->focusPolicy(), Qt::NoFocus);
    QCOMPARE(button->accessibleName(), hint);
}

void tst_TfrmPadraoGrid::partsByName()
{
    Screen screen;
    screen.resize(640, 411);
    screen.show();
    QStringList items;
    for (QAction *action : screen.mnuManutencao->actions())
        items << action->objectName();
    QCOMPARE(items, (QStringList{"mnuIncluir", "mnuAlterar", "mnuExcluir", "mnuProcurar",
                                 "mnuVerificar", "mnuCancelar", "mnuConfirmar", "mnuSepComuns",
                                 "mnuImprimir", "mnuAjuda", "mnuFechar"}));
    QCOMPARE(screen.msgMensagensPadroes->Msg("Excl"), QStringLiteral("Confirma Exclusão?"));
    QCOMPARE(screen.pgcPadrao->ActivePage(), screen.tshPadrao);
    // The screen's own field sits between the tool bar and the page control.
    QVERIFY(screen.field->y() >= screen.panMenu->geometry().bottom());
    QVERIFY(screen.field->geometry().bottom() <= screen.pgcPadrao->y());
}

void tst_TfrmPadraoGrid::commandsFollowTheState()
{
    ScriptedDialogs dialogs;
    Screen screen;
    screen.show();
    const auto enabled = [&] {
        QStringList on;
        for (TSpeedButton *b : {screen.sbtIncluir, screen.sbtConfirmar, screen.sbtCancelar})
            if (b->isEnabled())
                on << b->objectName();
        return on;
    };
    QCOMPARE(enabled(), QStringList());
    QVERIFY(!screen.mnuIncluir->isEnabled());
    QVERIFY(!screen.mnuConfirmar->isEnabled());

    screen.data->CreateDataSet();
    QCOMPARE(enabled(), QStringList{"sbtIncluir"});
    QVERIFY(screen.mnuIncluir->isEnabled());

    QTest::mouseClick(screen.sbtIncluir, Qt::LeftButton);
    QCOMPARE(screen.data->State(), TDataSetState::dsInsert);
    QCOMPARE(enabled(), (QStringList{"sbtConfirmar", "sbtCancelar"}));
    QVERIFY(screen.mnuConfirmar->isEnabled());
    QVERIFY(!screen.mnuIncluir->isEnabled());

    screen.mnuConfirmar->trigger();
    QCOMPARE(screen.data->State(), TDataSetState::dsBrowse);
    QCOMPARE(screen.data->RecordCount(), 1);
    QCOMPARE(enabled(), QStringList{"sbtIncluir"});

    QTest::mouseClick(screen.sbtIncluir, Qt::LeftButton);
    QTest::mouseClick(screen.sbtCancelar, Qt::LeftButton);
    QCOMPARE(screen.data->RecordCount(), 1);
    QCOMPARE(enabled(), QStringList{"sbtIncluir"});

    screen.dtsPadrao->SetEnabled(false);
    QCOMPARE(enabled(), QStringList());
    QVERIFY(dialogs.messages.isEmpty());
}

void tst_TfrmPadraoGrid::activationAndActiveWindow()
{
    ScriptedDialogs dialogs;
    dialogs.takeFocus = true;
    QMdiArea area;
    area.resize(1000, 700);
    area.show();
    QVERIFY(QTest::qWaitForWindowActive(&area));
    auto *first = new Screen;
    auto *second = new Screen;
    QMdiSubWindow *firstSub = area.addSubWindow(first);
    first->SetBounds(325, 177, 640, 411);
    firstSub->show();
    area.setActiveSubWindow(firstSub);
    QTRY_COMPARE(first->activations, 1);
    QCOMPARE(firstSub->geometry(), QRect(325, 177, 640, 411));
    QVERIFY(first->IsActiveWindow());

    // A message box in between leaves the screen the active one and does not activate it again.
    first->field->setFocus();
    QTRY_COMPARE(first->ActiveControl(), first->field);
    bool activeDuringBox = false;
    dialogs.whileShown = [&](const ScriptedDialogs::Message &) {
        activeDuringBox = first->IsActiveWindow();
    };
    MessageDlg("Confirma Exclusão?", TMsgDlgType::mtConfirmation, mbYesNo);
    QVERIFY(activeDuringBox);
    QTest::qWait(50);
    QCOMPARE(first->activations, 1);
    QCOMPARE(first->ActiveControl(), first->field);

    QMdiSubWindow *secondSub = area.addSubWindow(second);
    secondSub->show();
    area.setActiveSubWindow(secondSub);
    QTRY_COMPARE(second->activations, 1);
    QVERIFY(!first->IsActiveWindow());
    area.setActiveSubWindow(firstSub);
    QTRY_COMPARE(first->activations, 2);
    QCOMPARE(second->activations, 1);
}

void tst_TfrmPadraoGrid::closeReleasesTheScreen_data()
{
    QTest::addColumn<bool>("refuse");
    QTest::newRow("released") << false;
    QTest::newRow("refused by the screen") << true;
}

void tst_TfrmPadraoGrid::closeReleasesTheScreen()
{
    QFETCH(bool, refuse);
    QMdiArea area;
    area.show();
    auto *screen = new Screen;
    screen->refuseClose = refuse;
    QMdiSubWindow *sub = area.addSubWindow(screen);
    sub->show();
    QPointer<Screen> alive(screen);
    QPointer<QMdiSubWindow> aliveSub(sub);
    QTest::mouseClick(screen->sbtFechar, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(alive.isNull(), !refuse);
    QCOMPARE(aliveSub.isNull(), !refuse);
    if (refuse)
        QCOMPARE(screen->closes, QList<int>{caMinimize});
}

void tst_TfrmPadraoGrid::deleteAsksFirst_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("rowsLeft");
    QTest::newRow("yes deletes") << mrYes << 0;
    QTest::newRow("no keeps") << mrNo << 1;
}

void tst_TfrmPadraoGrid::deleteAsksFirst()
{
    QFETCH(int, answer);
    QFETCH(int, rowsLeft);
    ScriptedDialogs dialogs;
    dialogs.answers = {answer};
    Screen screen;
    screen.show();
    screen.data->CreateDataSet();
    screen.sbtIncluir->click();
    screen.sbtConfirmar->click();
    QVERIFY(screen.sbtExcluir->isEnabled());
    screen.sbtExcluir->click();
    QCOMPARE(dialogs.texts(), QStringList{"Confirma Exclusão?"});
    QCOMPARE(screen.data->RecordCount(), rowsLeft);
}

QTEST_MAIN(tst_TfrmPadraoGrid)
#include "tst_tfrmpadraogrid.moc"
