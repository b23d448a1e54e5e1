#include "controls/pesquisalista.h"
#include "controls/showavi.h"
#include "controls/tbtnpesquisa.h"
#include "controls/tdateeditplus.h"
#include "controls/tedit.h"
#include "controls/tlabel.h"
#include "controls/tmaskedit.h"
#include "controls/tspinedit.h"
#include "core/eventboundary.h"
#include "core/exceptions.h"
#include "data/tclientdataset.h"
#include "data/tdataset.h"
#include "scripteddialogs.h"

#include <QLineEdit>
#include <QToolButton>
#include <QtTest>

Q_DECLARE_METATYPE(std::optional<QList<int>>)

class tst_Controls : public QObject
{
    Q_OBJECT

private slots:
    void maskEditTakesDigitsOnly_data();
    void maskEditTakesDigitsOnly();
    void maskEditRaisesChangeForProgramText();
    void programTextChangeFailureReachesTheCaller_data();
    void programTextChangeFailureReachesTheCaller();
    void spinEditValue_data();
    void spinEditValue();
    void spinEditSteps_data();
    void spinEditSteps();
    void spinEditTyping_data();
    void spinEditTyping();
    void labelNamesItsField();
    void labelKeepsItsCaptionWhole_data();
    void labelKeepsItsCaptionWhole();
    void programTextShowsFromItsStart();
    void f9OpensTheLookupOnTheTypedCode_data();
    void f9OpensTheLookupOnTheTypedCode();
    void lookupButton_data();
    void lookupButton();
    void lookupButtonEmptyList();
    void listSearchJoinsKeysInOrder_data();
    void listSearchJoinsKeysInOrder();
    void waitAnimationTakesNoFocus();

private:
    static TClientDataSet *branches(QObject *owner, int rows);
};

void tst_Controls::maskEditTakesDigitsOnly_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");

    QTest::newRow("four digits") << "9999;0; "
                                 << "0010"
                                 << "0010";
    QTest::newRow("cut at four") << "9999;0; "
                                 << "123456"
                                 << "1234";
    QTest::newRow("letters refused") << "9999;0; "
                                     << "1a2-b"
                                     << "12";
    QTest::newRow("blank refused") << "9999;0; "
                                   << " 1 "
                                   << "1";
    QTest::newRow("two digits") << "99;0; "
                                << "123"
                                << "12";
    QTest::newRow("leading zero kept") << "99;0; "
                                       << "01"
                                       << "01";
}

void tst_Controls::maskEditTakesDigitsOnly()
{
    QFETCH(QString, mask);
    QFETCH(QString, typed);
    QFETCH(QString, text);

    TMaskEdit edit;
    edit.SetEditMask(mask);
    edit.show();
    QTest::keyClicks(&edit, typed);
    QCOMPARE(edit.Text(), text);
}

void tst_Controls::maskEditRaisesChangeForProgramText()
{
    TMaskEdit edit;
    edit.SetEditMask("9999;0; ");
    QStringList seen;
    edit.OnChange = [&](QObject *sender) { seen << static_cast<TMaskEdit *>(sender)->Text(); };
    edit.SetText("1");
    edit.SetText("0001");
    edit.SetText("0001");
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QCOMPARE(seen, (QStringList{"1", "0001", "000"}));
}

// The editors whose program text raises OnChange: how to set it, and the widget that is typed in.
struct ProgramTextEditor
{
    std::shared_ptr<QWidget> owner;
    QLineEdit *typed;
    std::function<void(const QString &)> setText;
};
Q_DECLARE_METATYPE(std::function<ProgramTextEditor(TNotifyEvent)>)

QLineEdit *typedIn(TEdit *edit)
{
    return edit;
}

template <class Editor> QLineEdit *typedIn(Editor *editor)
{
    return editor->Editor();
}

template <class Editor> ProgramTextEditor programTextEditor(TNotifyEvent change)
{
    auto editor = std::make_shared<Editor>();
    editor->OnChange = std::move(change);
    return {editor, typedIn(editor.get()), [e = editor.get()](const QString &t) { e->SetText(t); }};
}

void tst_Controls::programTextChangeFailureReachesTheCaller_data()
{
    using Make = std::function<ProgramTextEditor(TNotifyEvent)>;
    QTest::addColumn<Make>("make");
    QTest::addColumn<QString>("text");
    QTest::newRow("edit") << Make(&programTextEditor<TEdit>) << "0001";
    QTest::newRow("spin edit") << Make(&programTextEditor<TSpinEdit>) << "2027";
    QTest::newRow("month edit") << Make(&programTextEditor<TDateEditPlus>) << "03/2026";
}

// A change handler's failure during a program's own change unwinds to the program's caller, never
// through Qt's signal emission, and leaves the editor raising its changes as before.
void tst_Controls::programTextChangeFailureReachesTheCaller()
{
    QFETCH(std::function<ProgramTextEditor(TNotifyEvent)>, make);
    QFETCH(QString, text);
    int changes = 0;
    const ProgramTextEditor editor = make([&](QObject *) {
        if (++changes == 1)
            throw EAbort();
    });
    bool caught = false;
    host::guard(nullptr, [&] {
        try {
            editor.setText(text);
        } catch (const EAbort &) {
            caught = true;
        }
    });
    QVERIFY(caught);
    QCOMPARE(editor.typed->text(), text);
    editor.typed->setFocus();
    QTest::keyClick(editor.typed, Qt::Key_Backspace);
    QCOMPARE(changes, 2);
}

void tst_Controls::spinEditValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");

    QTest::newRow("empty") << "" << 0;
    QTest::newRow("zeros") << "0000" << 0;
    QTest::newRow("letters") << "abc" << 0;
    QTest::newRow("leading zeros") << "0999" << 999;
    QTest::newRow("year") << "2026" << 2026;
    QTest::newRow("beyond four digits") << "10000" << 10000;
    QTest::newRow("negative") << "-1" << -1;
    QTest::newRow("number then letters") << "12ab" << 0;
}

void tst_Controls::spinEditValue()
{
    QFETCH(QString, text);
    QFETCH(int, value);

    TSpinEdit spin;
    spin.SetMaxLength(4);
    spin.SetText(text);
    QCOMPARE(spin.Text(), text);
    QCOMPARE(spin.Value(), value);
}

void tst_Controls::spinEditSteps_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("ups");
    QTest::addColumn<int>("downs");
    QTest::addColumn<bool>("byKeys");
    QTest::addColumn<QString>("text");

    QTest::newRow("up past 9999, buttons") << "9999" << 1 << 0 << false << "10000";
    QTest::newRow("up past 9999, keys") << "9999" << 2 << 0 << true << "10001";
    QTest::newRow("down below 1, buttons") << "0001" << 0 << 2 << false << "-1";
    QTest::newRow("down below 1, keys") << "1" << 0 << 1 << true << "0";
    QTest::newRow("from letters") << "abc" << 1 << 0 << true << "1";
    QTest::newRow("from empty") << "" << 0 << 1 << false << "-1";
}

void tst_Controls::spinEditSteps()
{
    QFETCH(QString, start);
    QFETCH(int, ups);
    QFETCH(int, downs);
    QFETCH(bool, byKeys);
    QFETCH(QString, text);

    TSpinEdit spin;
    spin.SetMaxLength(4);
    spin.show();
    spin.SetText(start);
    int changes = 0;
    spin.OnChange = [&](QObject *) { ++changes; };
    for (int i = 0; i < ups; ++i) {
        if (byKeys)
            QTest::keyClick(spin.Editor(), Qt::Key_Up);
        else
            QTest::mouseClick(spin.UpButton(), Qt::LeftButton);
    }
    for (int i = 0; i < downs; ++i) {
        if (byKeys)
            QTest::keyClick(spin.Editor(), Qt::Key_Down);
        else
            QTest::mouseClick(spin.DownButton(), Qt::LeftButton);
    }
    QCOMPARE(spin.Text(), text);
    QCOMPARE(changes, ups + downs);
}

void tst_Controls::spinEditTyping_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");

    QTest::newRow("four characters at most") << "202612"
                                             << "2026";
    QTest::newRow("filtered signs and exponents") << "-2+0e2E6"
                                                  << "2026";
    QTest::newRow("other letters pass") << "ab"
                                        << "ab";
}

void tst_Controls::spinEditTyping()
{
    QFETCH(QString, typed);
    QFETCH(QString, text);

    TSpinEdit spin;
    spin.SetMaxLength(4);
    spin.OnKeyPress = [](QObject *, QChar &key) {
        if (QStringLiteral("-+eE").contains(key))
            key = QChar();
    };
    spin.show();
    QTest::keyClicks(spin.Editor(), typed);
    QCOMPARE(spin.Text(), text);
}

void tst_Controls::labelNamesItsField()
{
    QWidget window;
    auto *label = new TLabel(&window);
    auto *field = new TMaskEdit(&window);
    label->SetCaption("&Filial");
    label->SetFocusControl(field);
    QCOMPARE(label->buddy(), field);
    QCOMPARE(field->accessibleName(), QStringLiteral("Filial"));
    label->SetCaption("Ano");
    QCOMPARE(field->accessibleName(), QStringLiteral("Ano"));
}

void tst_Controls::labelKeepsItsCaptionWhole_data()
{
    QTest::addColumn<int>("fieldLeft");

    QTest::newRow("room on the row") << 300;
    QTest::newRow("field close beside it") << 96;
}

void tst_Controls::labelKeepsItsCaptionWhole()
{
    QFETCH(int, fieldLeft);

    QWidget panel;
    panel.resize(400, 60);
    QFont bold = panel.font();
    bold.setBold(true);
    bold.setPixelSize(14);
    auto *label = new TLabel(&panel);
    label->setFont(bold);
    label->setText("Periodicidade");
    label->setGeometry(8, 8, 40, 13);
    auto *field = new TMaskEdit(&panel);
    field->setGeometry(fieldLeft, 4, 30, 21);
    panel.show();

    // The whole caption is drawn, at its place and not under the field beside it.
    QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width());
    QVERIFY(label->geometry().right() < field->x());
    QCOMPARE(label->pos(), QPoint(8, 8));
}

void tst_Controls::programTextShowsFromItsStart()
{
    TEdit name;
    name.resize(60, 21);
    name.setEnabled(false);
    name.show();
    name.SetText("Produção Semanal (seg–sex)");
    QCOMPARE(name.cursorPosition(), 0);

    // What the operator types keeps the cursor after it.
    TEdit code;
    code.show();
    QTest::keyClicks(&code, "0012");
    QCOMPARE(code.cursorPosition(), 4);
}

void tst_Controls::f9OpensTheLookupOnTheTypedCode_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("lookups");
    QTest::addColumn<int>("currentRow");

    QTest::newRow("full code") << "0010" << true << 1 << 2;
    QTest::newRow("code without its zeros") << "2" << true << 1 << 3;
    QTest::newRow("unknown code") << "0099" << true << 1 << 0;
    QTest::newRow("empty field") << "" << true << 1 << 0;
    QTest::newRow("button disabled") << "0010" << false << 0 << 0;
}

void tst_Controls::f9OpensTheLookupOnTheTypedCode()
{
    QFETCH(QString, typed);
    QFETCH(bool, enabled);
    QFETCH(int, lookups);
    QFETCH(int, currentRow);

    ScriptedDialogs dialogs;
    QWidget panel;
    TClientDataSet *data = branches(&panel, 4);
    TDataSource source;
    source.SetDataSet(data);
    auto *code = new TMaskEdit(&panel);
    code->SetEditMask("9999;0; ");
    auto *button = new TBtnPesquisa(&panel);
    button->move(60, 0);
    button->SetDataSource(&source);
    button->SetAssociate(code);
    button->setEnabled(enabled);
    panel.show();
    code->SetText(typed);

    QTest::keyClick(code, Qt::Key_F9);
    QCOMPARE(dialogs.lookups.size(), lookups);
    if (lookups)
        QCOMPARE(dialogs.lookups.first().currentRow, currentRow);
    // Shift or Ctrl with it does the same.
    QTest::keyClick(code, Qt::Key_F9, Qt::ShiftModifier);
    QCOMPARE(dialogs.lookups.size(), 2 * lookups);
    QCOMPARE(code->Text(), typed);
}

TClientDataSet *tst_Controls::branches(QObject *owner, int rows)
{
    auto *data = new TClientDataSet(owner);
    data->AddField("CDFILIAL", TFieldType::ftString, 4)->SetDisplayLabel("Código");
    data->AddField("NMFILIAL", TFieldType::ftString, 30)->SetDisplayLabel("Nome");
    data->AddField("IDCNTRRESC", TFieldType::ftString, 1)->SetVisible(false);
    data->CreateDataSet();
    const QStringList codes{"0003", "0001", "0010", "0002"};
    for (int i = 0; i < rows; ++i) {
        data->Append();
        data->FieldByName("CDFILIAL")->SetAsString(codes[i % codes.size()]);
        data->FieldByName("NMFILIAL")->SetAsString("Filial " + codes[i % codes.size()]);
        data->FieldByName("IDCNTRRESC")->SetAsString("N");
        data->Post();
    }
    return data;
}

void tst_Controls::lookupButton_data()
{
    QTest::addColumn<bool>("proceed");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("chosen");

    QTest::newRow("choice") << true << 2 << "0010";
    QTest::newRow("cancelled") << true << -1 << "";
    QTest::newRow("stopped before the list") << false << 0 << "";
}

void tst_Controls::lookupButton()
{
    QFETCH(bool, proceed);
    QFETCH(int, answer);
    QFETCH(QString, chosen);

    ScriptedDialogs dialogs;
    dialogs.lookupAnswers = {answer};
    QObject owner;
    TClientDataSet *data = branches(&owner, 4);
    TDataSource source;
    source.SetDataSet(data);
    data->FieldByName("NMFILIAL")->OnGetText = [](TField *field, QString &text, bool) {
        text = field->AsString().toUpper();
    };

    TBtnPesquisa button;
    button.SetTitle("Filial");
    button.SetDataSource(&source);
    button.SetEmptyError("Não há filial cadastrada.");
    QString got;
    button.OnBeforePesq = [&](QObject *, bool &go) { go = proceed; };
    button.OnAfterPesq = [&](QObject *) { got = data->FieldByName("CDFILIAL")->AsString(); };
    button.show();
    QTest::mouseClick(&button, Qt::LeftButton);

    QCOMPARE(got, chosen);
    QCOMPARE(button.focusPolicy(), Qt::NoFocus);
    QCOMPARE(button.Hint(), QStringLiteral("Pesquisar"));
    QCOMPARE(dialogs.lookups.size(), proceed ? 1 : 0);
    if (proceed) {
        const auto &call = dialogs.lookups.first();
        QCOMPARE(call.title, QStringLiteral("Filial"));
        QCOMPARE(call.headers, (QStringList{"Código", "Nome"}));
        QCOMPARE(call.rows.size(), 4);
        QCOMPARE(call.rows[1], (QStringList{"0001", "FILIAL 0001"}));
    }
    QVERIFY(dialogs.messages.isEmpty());
}

void tst_Controls::lookupButtonEmptyList()
{
    ScriptedDialogs dialogs;
    QObject owner;
    TClientDataSet *data = branches(&owner, 0);
    TDataSource source;
    source.SetDataSet(data);
    TBtnPesquisa button;
    button.SetDataSource(&source);
    button.SetEmptyError("Não há periodicidade cadastrada.");
    bool after = false;
    button.OnAfterPesq = [&](QObject *) { after = true; };
    button.show();
    QTest::mouseClick(&button, Qt::LeftButton);
    QVERIFY(!after);
    QVERIFY(dialogs.lookups.isEmpty());
    QCOMPARE(dialogs.texts(), QStringList{"Não há periodicidade cadastrada."});
}

void tst_Controls::listSearchJoinsKeysInOrder_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<std::optional<QList<int>>>("answer");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QList<int>>("preset");

    QTest::newRow("keys in key order") << "" << std::optional<QList<int>>(QList<int>{2, 0, 1})
                                       << true << "0001,0003,0010" << QList<int>{};
    QTest::newRow("nothing chosen")
        << "0001" << std::optional<QList<int>>(QList<int>{}) << true << "" << QList<int>{1};
    QTest::newRow("cancel keeps the list")
        << "0003,0010" << std::optional<QList<int>>() << false << "0003,0010" << QList<int>{0, 2};
}

void tst_Controls::listSearchJoinsKeysInOrder()
{
    QFETCH(QString, before);
    QFETCH(std::optional<QList<int>>, answer);
    QFETCH(bool, result);
    QFETCH(QString, after);
    QFETCH(QList<int>, preset);

    ScriptedDialogs dialogs;
    dialogs.listAnswers = {answer};
    QObject owner;
    TDataSource source;
    source.SetDataSet(branches(&owner, 4));
    QString list = before;
    QCOMPARE(PesquisaLista(&source, "CDFILIAL", "Filial", false, list), result);
    QCOMPARE(list, after);
    QCOMPARE(dialogs.listSearches.size(), 1);
    QCOMPARE(dialogs.listSearches.first().chosenBefore, preset);
}

void tst_Controls::waitAnimationTakesNoFocus()
{
    QWidget window;
    auto *edit = new TEdit(&window);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    edit->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), edit);

    ActiveShowAvi(&window, 6, "Recebendo Calendário de Produção do Servidor...");
    ActiveShowAvi(&window, 1);
    QVERIFY(ShowAviActive());
    QTest::qWait(80);
    QCOMPARE(QApplication::focusWidget(), edit);
    QCOMPARE(QApplication::activeWindow(), &window);
    DeactiveShowAvi();
    QVERIFY(!ShowAviActive());
    DeactiveShowAvi();
    QCOMPARE(window.findChildren<QWidget *>("ShowAvi").size(), 0);
}

QTEST_MAIN(tst_Controls)
#include "tst_controls.moc"
