#include "controls/tdateeditplus.h"
#include "controls/tlabel.h"
#include "core/exceptions.h"
#include "fakeoperatorcontext.h"
#include "scripteddialogs.h"

#include <QLineEdit>
#include <QToolButton>
#include <QtTest>

class tst_TDateEditPlus : public QObject
{
    Q_OBJECT

private slots:
    void readsTheMonthTyped_data();
    void readsTheMonthTyped();
    void setDateShowsTheMonthOnly_data();
    void setDateShowsTheMonthOnly();
    void stepsByMonth_data();
    void stepsByMonth();
    void checkValidDate_data();
    void checkValidDate();
    void labelNamesTheEditor();
    void typingAfterAClickFillsFromTheFirstBlank_data();
    void typingAfterAClickFillsFromTheFirstBlank();
};

void tst_TDateEditPlus::readsTheMonthTyped_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");

    QTest::newRow("nothing typed") << ""
                                   << "" << QDate();
    QTest::newRow("whole month") << "012005"
                                 << "01/2005" << QDate(2005, 1, 1);
    QTest::newRow("december") << "122026"
                              << "12/2026" << QDate(2026, 12, 1);
    QTest::newRow("month 13") << "132026"
                              << "13/2026" << QDate();
    QTest::newRow("month 00") << "002026"
                              << "00/2026" << QDate();
    QTest::newRow("short year") << "0520"
                                << "05/20" << QDate();
    QTest::newRow("letters ignored") << "0a3b2024"
                                     << "03/2024" << QDate(2024, 3, 1);
}

void tst_TDateEditPlus::readsTheMonthTyped()
{
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(QDate, date);

    TDateEditPlus editor;
    editor.show();
    editor.Editor()->setFocus();
    editor.Editor()->home(false);
    QTest::keyClicks(editor.Editor(), typed);
    QCOMPARE(editor.Text(), text);
    QCOMPARE(editor.GetDate(), date);
}

void tst_TDateEditPlus::setDateShowsTheMonthOnly_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("first");
    QTest::addColumn<QDate>("last");

    QTest::newRow("mid-month") << QDate(2024, 2, 17) << "02/2024" << QDate(2024, 2, 1)
                               << QDate(2024, 2, 29);
    QTest::newRow("december") << QDate(2026, 12, 31) << "12/2026" << QDate(2026, 12, 1)
                              << QDate(2026, 12, 31);
    QTest::newRow("null empties") << QDate() << "" << QDate() << QDate();
}

void tst_TDateEditPlus::setDateShowsTheMonthOnly()
{
    QFETCH(QDate, date);
    QFETCH(QString, text);
    QFETCH(QDate, first);
    QFETCH(QDate, last);

    TDateEditPlus editor;
    editor.SetDate(QDate(2000, 6, 1));
    int changes = 0;
    editor.OnChange = [&changes](QObject *) { ++changes; };
    editor.SetDate(date);
    QCOMPARE(editor.Text(), text);
    QCOMPARE(editor.GetDate(), first);
    QCOMPARE(editor.GetPrimDia(), first);
    QCOMPARE(editor.GetUltDia(), last);
    QCOMPARE(changes, 1);
}

void tst_TDateEditPlus::stepsByMonth_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("up");
    QTest::addColumn<QString>("result");

    QTest::newRow("up into next year") << "12/2025" << true << "01/2026";
    QTest::newRow("down into last year") << "01/2026" << false << "12/2025";
    QTest::newRow("empty starts at today") << "" << true << "03/2026";
    QTest::newRow("stops at year 9999") << "12/9999" << true << "12/9999";
}

void tst_TDateEditPlus::stepsByMonth()
{
    QFETCH(QString, start);
    QFETCH(bool, up);
    QFETCH(QString, result);

    FakeClock clock(QDateTime(QDate(2026, 3, 10), QTime(9, 0)));
    TDateEditPlus editor;
    editor.SetText(start);
    editor.show();
    QTest::mouseClick(up ? editor.UpButton() : editor.DownButton(), Qt::LeftButton);
    QCOMPARE(editor.Text(), result);

    editor.SetText(start);
    editor.Editor()->setFocus();
    QTest::keyClick(editor.Editor(), up ? Qt::Key_Up : Qt::Key_Down);
    QCOMPARE(editor.Text(), result);
}

void tst_TDateEditPlus::checkValidDate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("passes");

    QTest::newRow("empty passes") << "" << true;
    QTest::newRow("valid month") << "07/2026" << true;
    QTest::newRow("month 13") << "13/2026" << false;
    QTest::newRow("year cut short") << "07/26" << false;
}

void tst_TDateEditPlus::checkValidDate()
{
    QFETCH(QString, text);
    QFETCH(bool, passes);

    ScriptedDialogs dialogs;
    TDateEditPlus editor;
    editor.SetText(text);
    bool aborted = false;
    try {
        editor.CheckValidDate();
    } catch (const EAbort &) {
        aborted = true;
    }
    QCOMPARE(aborted, !passes);
    QCOMPARE(dialogs.messages.size(), passes ? 0 : 1);
    if (!passes)
        QCOMPARE(dialogs.messages.first().kind, TMsgDlgType::mtError);
}

void tst_TDateEditPlus::labelNamesTheEditor()
{
    QWidget form;
    auto *label = new TLabel(&form);
    auto *editor = new TDateEditPlus(&form);
    label->SetCaption(QStringLiteral("&Inicial"));
    label->SetFocusControl(editor);
    QCOMPARE(editor->accessibleName(), QStringLiteral("Inicial"));
    QCOMPARE(label->buddy(), editor);
}

void tst_TDateEditPlus::typingAfterAClickFillsFromTheFirstBlank_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("clickAt"); // "end", "middle" or "start" of the editor
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");

    const auto row = [](const char *name, const char *before, const char *clickAt,
                        const char *typed, const char *text) {
        QTest::newRow(name) << QString(before) << QString(clickAt) << QString(typed)
                            << QString(text);
    };
    row("empty, click at the end", "", "end", "032026", "03/2026");
    row("empty, click in the year", "", "middle", "112025", "11/2025");
    row("month typed, click at the end", "03", "end", "2026", "03/2026");
    row("full, click at the start edits in place", "03/2026", "start", "1", "13/2026");
}

void tst_TDateEditPlus::typingAfterAClickFillsFromTheFirstBlank()
{
    QFETCH(QString, before);
    QFETCH(QString, clickAt);
    QFETCH(QString, typed);
    QFETCH(QString, text);
    TDateEditPlus editor;
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    QLineEdit *edit = editor.Editor();
    edit->setText(before);
    const QRect area = edit->rect();
    const QPoint at = clickAt == QLatin1String("end") ? QPoint(area.right() - 2, area.center().y())
                      : clickAt == QLatin1String("middle") ? area.center()
                                                           : QPoint(2, area.center().y());
    QTest::mouseClick(edit, Qt::LeftButton, {}, at);
    QTest::keyClicks(edit, typed);
    QCOMPARE(editor.Text(), text);
}

QTEST_MAIN(tst_TDateEditPlus)
#include "tst_tdateeditplus.moc"
