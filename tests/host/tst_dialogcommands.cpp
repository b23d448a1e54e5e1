// The base dialogs' commands answer the keyboard: each has a key named in its hint and a Tab
// stop after the fields, and Enter on the last field runs the first command.

#include "controls/tedit.h"
#include "controls/tgroupbox.h"
#include "controls/tradiobutton.h"
#include "controls/tspeedbutton.h"
#include "screens/tfrmdadosgerrel.h"
#include "screens/tfrmpadrimportexport.h"

#include <QVBoxLayout>
#include <QtTest>

#include <memory>

class tst_DialogCommands : public QObject
{
    Q_OBJECT

private slots:
    void commandsAnswerTheKeyboard_data();
    void commandsAnswerTheKeyboard();
};

namespace {

// A dialog of either base with a code field and a pair of options, as the screens place them;
// every command records its hint instead of running.
struct Dialog
{
    explicit Dialog(const QString &base)
    {
        if (base == QLatin1String("export")) {
            auto *dialog = new TfrmPadrImportExport;
            window.reset(dialog);
            frame = dialog->grbDadosRel;
            commands = {dialog->sbtImportExport, dialog->sbtAjuda, dialog->sbtFechar};
        } else {
            auto *dialog = new TfrmDadosGerRel;
            window.reset(dialog);
            frame = dialog->grbDadosRel;
            commands = {dialog->sbtPreview, dialog->sbtPrint, dialog->sbtSalvarComo,
                        dialog->sbtAjuda, dialog->sbtFechar};
        }
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        code = new TEdit(frame);
        all = new TRadioButton(frame);
        list = new TRadioButton(frame);
        for (auto [field, top] : {std::pair<QWidget *, int>{code, 50}, {all, 80}, {list, 104}})
            field->setGeometry(8, top, 80, 21);
        all->SetChecked(true);
        for (TSpeedButton *command : std::as_const(commands))
            command->OnClick = [this](QObject *s) {
                ran << static_cast<TSpeedButton *>(s)->Hint();
            };
        window->show();
        QApplication::setActiveWindow(window.get());
    }

    std::unique_ptr<QWidget> window;
    QWidget *frame = nullptr;
    TEdit *code = nullptr;
    TRadioButton *all = nullptr;
    TRadioButton *list = nullptr;
    QList<TSpeedButton *> commands;
    QStringList ran;
};

} // namespace

void tst_DialogCommands::commandsAnswerTheKeyboard_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("keys"); // "key:<sequence>", "enter:<field>" or "tab-enter:<field>"
    QTest::addColumn<QString>("ran");
    QTest::addColumn<QString>("key"); // named in the hint
    const auto row = [](const char *name, const char *base, const char *keys, const char *ran,
                        const char *key = "") {
        QTest::newRow(name) << QString(base) << QString(keys) << QString(ran) << QString(key);
    };
    row("Alt+E exports", "export", "key:Alt+E", "Exportar", "Alt+E");
    row("Esc closes the export", "export", "key:Esc", "Fechar", "Esc");
    row("Alt+V previews", "report", "key:Alt+V", "Visualizar", "Alt+V");
    row("Alt+I prints", "report", "key:Alt+I", "Imprimir", "Alt+I");
    row("Alt+S saves", "report", "key:Alt+S", "Salvar como", "Alt+S");
    row("F1 helps", "report", "key:F1", "Ajuda", "F1");
    row("Enter on the last option exports", "export", "enter:list", "Exportar");
    row("Enter on the checked option of the last group previews", "report", "enter:all",
        "Visualizar");
    row("Enter on the first field runs nothing", "export", "enter:code", "");
    row("Tab past the fields reaches the command", "report", "tab-enter:list", "Visualizar");
}

void tst_DialogCommands::commandsAnswerTheKeyboard()
{
    QFETCH(QString, base);
    QFETCH(QString, keys);
    QFETCH(QString, ran);
    QFETCH(QString, key);
    Dialog dialog(base);
    QVERIFY(QTest::qWaitForWindowActive(dialog.window.get()));
    const QString how = keys.section(QLatin1Char(':'), 0, 0);
    const QString what = keys.section(QLatin1Char(':'), 1);
    QWidget *field = what == QLatin1String("code")  ? static_cast<QWidget *>(dialog.code)
                     : what == QLatin1String("all") ? dialog.all
                                                    : dialog.list;
    if (how == QLatin1String("key")) {
        dialog.code->setFocus();
        const QKeySequence key(what);
        QTest::keySequence(dialog.window.get(), key);
    } else {
        field->setFocus();
        if (how == QLatin1String("tab-enter")) {
            QTest::keyClick(field, Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), dialog.commands.first());
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }
    QCOMPARE(dialog.ran.join(QLatin1Char(',')), ran);
    if (!key.isEmpty()) {
        const auto it = std::find_if(dialog.commands.begin(), dialog.commands.end(),
                                     [&](TSpeedButton *c) { return c->Hint() == ran; });
        QVERIFY(it != dialog.commands.end());
        QCOMPARE((*it)->toolTip(), QStringLiteral("%1 (%2)").arg(ran, key));
        QCOMPARE((*it)->accessibleName(), ran);
        QVERIFY((*it)->focusPolicy() & Qt::TabFocus);
        QVERIFY(!((*it)->focusPolicy() & Qt::ClickFocus));
    }
}

QTEST_MAIN(tst_DialogCommands)
#include "tst_dialogcommands.moc"
