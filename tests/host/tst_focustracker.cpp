#include "controls/tedit.h"
#include "controls/tgroupbox.h"
#include "controls/tpanel.h"
#include "controls/tspeedbutton.h"
#include "controls/tspinedit.h"
#include "core/dialogs.h"
#include "core/focustracker.h"
#include "scripteddialogs.h"

#include <QDialog>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>

// A window like a screen: a panel with two fields and a group holding a third, and a field
// outside the panel. Every handler writes to the trace.
class Screen : public QWidget
{
public:
    Screen()
    {
        auto *layout = new QVBoxLayout(this);
        pan = new TPanel(this);
        auto *panLayout = new QVBoxLayout(pan);
        field1 = new TEdit(pan);
        field2 = new TEdit(pan);
        grp = new TGroupBox(pan);
        auto *grpLayout = new QVBoxLayout(grp);
        field3 = new TEdit(grp);
        grpLayout->addWidget(field3);
        spin = new TSpinEdit(pan);
        panLayout->addWidget(field1);
        panLayout->addWidget(field2);
        panLayout->addWidget(grp);
        panLayout->addWidget(spin);
        other = new TEdit(this);
        button = new TSpeedButton(this);
        layout->addWidget(pan);
        layout->addWidget(other);
        layout->addWidget(button);
        const QList<std::pair<QString, TWinControl *>> named = {
            {"pan", pan},       {"grp", grp},   {"field1", field1}, {"field2", field2},
            {"field3", field3}, {"spin", spin}, {"other", other},
        };
        for (const auto &[name, control] : named) {
            dynamic_cast<QObject *>(control)->setObjectName(name);
            control->OnEnter = [this, name](QObject *) { trace << "enter:" + name; };
            control->OnExit = [this, name](QObject *) { trace << "exit:" + name; };
        }
    }

    QWidget *byName(const QString &name) { return findChild<QWidget *>(name); }

    TPanel *pan;
    TGroupBox *grp;
    TEdit *field1;
    TEdit *field2;
    TEdit *field3;
    TSpinEdit *spin;
    TEdit *other;
    TSpeedButton *button;
    QStringList trace;
};

class tst_FocusTracker : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void chainOrder_data();
    void chainOrder();
    void tabKeyRaisesTheChain();
    void refusedExitKeepsTheField_data();
    void refusedExitKeepsTheField();
    void refusedExitWithoutRefocusReturnsToTheField();
    void handlerFocusMovesRaiseNoChain();
    void anotherWindowInBetweenRaisesNothing();
    void toolButtonClickRaisesNothing();
    void setFocusRaisesNoChain();
    void lateRestoreAfterTheBoxRaisesNoCheck_data();
    void lateRestoreAfterTheBoxRaisesNoCheck();

private:
    void focusAndSettle(QWidget *widget);
    Screen *screen = nullptr;
};

void tst_FocusTracker::init()
{
    screen = new Screen;
    screen->show();
    screen->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(screen));
    focusAndSettle(screen->field1);
    screen->trace.clear();
}

void tst_FocusTracker::cleanup()
{
    delete screen;
    screen = nullptr;
}

void tst_FocusTracker::focusAndSettle(QWidget *widget)
{
    widget->setFocus(Qt::OtherFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), widget);
}

void tst_FocusTracker::chainOrder_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("inside the panel") << "field1"
                                      << "field2" << QStringList{"exit:field1", "enter:field2"};
    QTest::newRow("leaving the panel")
        << "field1"
        << "other" << QStringList{"exit:field1", "exit:pan", "enter:other"};
    QTest::newRow("entering the panel")
        << "other"
        << "field2" << QStringList{"exit:other", "enter:pan", "enter:field2"};
    QTest::newRow("leaving two containers, innermost first")
        << "field3"
        << "other" << QStringList{"exit:field3", "exit:grp", "exit:pan", "enter:other"};
    QTest::newRow("entering two containers, outermost first")
        << "other"
        << "field3" << QStringList{"exit:other", "enter:pan", "enter:grp", "enter:field3"};
    QTest::newRow("into a composite control") << "field1"
                                              << "spin" << QStringList{"exit:field1", "enter:spin"};
    QTest::newRow("out of a composite control")
        << "spin"
        << "other" << QStringList{"exit:spin", "exit:pan", "enter:other"};
    QTest::newRow("into a nested container")
        << "field1"
        << "field3" << QStringList{"exit:field1", "enter:grp", "enter:field3"};
}

void tst_FocusTracker::chainOrder()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QStringList, expected);

    screen->byName(from)->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(screen->byName(from)->hasFocus());
    screen->trace.clear();
    screen->byName(to)->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(screen->byName(to)->hasFocus());
    QCOMPARE(screen->trace, expected);
    QCOMPARE(host::FocusTracker::instance()->LogicalFocus(screen), screen->byName(to));
}

void tst_FocusTracker::tabKeyRaisesTheChain()
{
    focusAndSettle(screen->field3);
    screen->trace.clear();
    QTest::keyClick(screen->field3, Qt::Key_Tab);
    QTest::keyClick(screen->spin->Editor(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), screen->other);
    QCOMPARE(screen->trace, (QStringList{"exit:field3", "exit:grp", "enter:spin", "exit:spin",
                                         "exit:pan", "enter:other"}));
}

void tst_FocusTracker::refusedExitKeepsTheField_data()
{
    QTest::addColumn<bool>("boxTakesFocus");
    QTest::newRow("message box takes the focus") << true;
    QTest::newRow("message box without focus") << false;
}

void tst_FocusTracker::refusedExitKeepsTheField()
{
    QFETCH(bool, boxTakesFocus);
    ScriptedDialogs dialogs;
    dialogs.takeFocus = boxTakesFocus;
    screen->field1->OnExit = [this](QObject *) {
        screen->trace << "exit:field1";
        if (screen->field1->Text() == "bad") {
            SetFocus(screen->field1);
            MensErro(QStringLiteral("Filial não cadastrada."), true);
        }
    };
    screen->field1->SetText("bad");
    bool boxHadFocus = false;
    dialogs.whileShown = [&](const ScriptedDialogs::Message &) {
        QWidget *focus = QApplication::focusWidget();
        boxHadFocus = focus && !screen->isAncestorOf(focus);
    };

    screen->other->setFocus(Qt::TabFocusReason);
    QTest::qWait(100);
    QTRY_COMPARE(QApplication::focusWidget(), screen->field1);
    QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("Filial não cadastrada.")});
    QCOMPARE(boxHadFocus, boxTakesFocus);
    QCOMPARE(screen->trace, QStringList{"exit:field1"});
    QCOMPARE(host::FocusTracker::instance()->LogicalFocus(screen), screen->field1);
    QVERIFY(screen->isActiveWindow());

    // Once the input is right, the next exit runs the whole chain.
    screen->trace.clear();
    screen->field1->SetText("ok");
    QTest::keyClick(screen->field1, Qt::Key_Tab);
    QTest::keyClick(screen->field2, Qt::Key_Tab);
    QTest::keyClick(screen->field3, Qt::Key_Tab);
    QTest::keyClick(screen->spin->Editor(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), screen->other);
    QCOMPARE(screen->trace, (QStringList{"exit:field1", "enter:field2", "exit:field2", "enter:grp",
                                         "enter:field3", "exit:field3", "exit:grp", "enter:spin",
                                         "exit:spin", "exit:pan", "enter:other"}));
    QCOMPARE(dialogs.messages.size(), 1);
}

void tst_FocusTracker::refusedExitWithoutRefocusReturnsToTheField()
{
    ScriptedDialogs dialogs;
    dialogs.takeFocus = true;
    screen->field1->OnExit = [](QObject *) {
        MensErro(QStringLiteral("Ano deve ser informado."), true);
    };
    screen->other->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), screen->field1);
    QTest::qWait(50);
    QCOMPARE(QApplication::focusWidget(), screen->field1);
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(screen->trace, QStringList());
}

void tst_FocusTracker::handlerFocusMovesRaiseNoChain()
{
    screen->field2->OnEnter = [this](QObject *) {
        screen->trace << "enter:field2";
        screen->other->setFocus(Qt::OtherFocusReason);
    };
    screen->field2->setFocus(Qt::OtherFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), screen->other);
    QCOMPARE(screen->trace, (QStringList{"exit:field1", "enter:field2"}));
    QCOMPARE(host::FocusTracker::instance()->LogicalFocus(screen), screen->other);

    // The handler's move counts as done: leaving "other" starts from there.
    screen->trace.clear();
    focusAndSettle(screen->field1);
    QCOMPARE(screen->trace, (QStringList{"exit:other", "enter:pan", "enter:field1"}));
}

void tst_FocusTracker::anotherWindowInBetweenRaisesNothing()
{
    {
        QDialog box;
        auto *layout = new QVBoxLayout(&box);
        auto *edit = new QLineEdit(&box);
        layout->addWidget(edit);
        box.show();
        box.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&box));
        edit->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), edit);
    }
    screen->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(screen));
    QTRY_COMPARE(QApplication::focusWidget(), screen->field1);
    QCOMPARE(screen->trace, QStringList());
}

void tst_FocusTracker::toolButtonClickRaisesNothing()
{
    int clicks = 0;
    screen->button->OnClick = [&](QObject *) { ++clicks; };
    QTest::mouseClick(screen->button, Qt::LeftButton);
    QCOMPARE(clicks, 1);
    QCOMPARE(QApplication::focusWidget(), screen->field1);
    QCOMPARE(screen->trace, QStringList());
}

void tst_FocusTracker::setFocusRaisesNoChain()
{
    SetFocus(screen->other);
    QTRY_COMPARE(QApplication::focusWidget(), screen->other);
    QCOMPARE(screen->trace, QStringList());
    QCOMPARE(host::FocusTracker::instance()->LogicalFocus(screen), screen->other);
}

void tst_FocusTracker::lateRestoreAfterTheBoxRaisesNoCheck_data()
{
    QTest::addColumn<int>("reason");
    QTest::addColumn<QString>("restoredTo");
    QTest::addColumn<bool>("refocusBeforeBox");

    QTest::newRow("window reactivated on the Tab's target")
        << int(Qt::ActiveWindowFocusReason) << "field2" << false;
    QTest::newRow("sub-window restores the Tab's target")
        << int(Qt::OtherFocusReason) << "field2" << false;
    QTest::newRow("sub-window restores an older control, field refocused first")
        << int(Qt::OtherFocusReason) << "other" << true;
}

// A refused exit shows a box that takes the activation; when it closes, the window system (or
// the MDI sub-window) hands the focus back late to a control other than the refused one. That
// move is no operator's: it must not raise the check, or the box comes back after every OK.
void tst_FocusTracker::lateRestoreAfterTheBoxRaisesNoCheck()
{
    QFETCH(int, reason);
    QFETCH(QString, restoredTo);
    QFETCH(bool, refocusBeforeBox);
    ScriptedDialogs dialogs;
    dialogs.takeFocus = true;
    screen->field1->SetText("0");
    screen->field1->OnExit = [&](QObject *) {
        screen->trace << "exit:field1";
        if (screen->field1->Text() != "0")
            return;
        if (refocusBeforeBox)
            SetFocus(screen->field1);
        try {
            MensErro(QStringLiteral("Ano informado deve estar entre '0001' e '9999'."), true);
        } catch (...) {
            SetFocus(screen->field1);
            throw;
        }
    };
    // Stops the late restores after a few boxes, so that a loop still ends.
    dialogs.whileShown = [&](const ScriptedDialogs::Message &) {
        if (dialogs.messages.size() > 3)
            return;
        QWidget *late = screen->byName(restoredTo);
        QTimer::singleShot(0, late, [late, reason] { late->setFocus(Qt::FocusReason(reason)); });
    };

    QTest::keyClick(screen->field1, Qt::Key_Tab);
    QTest::qWait(200);
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(QApplication::focusWidget(), screen->field1);
    QCOMPARE(host::FocusTracker::instance()->LogicalFocus(screen), screen->field1);
    QCOMPARE(screen->trace, QStringList{"exit:field1"});

    // The operator's next try, here by a click, is checked again, and a right year passes.
    QTest::mouseClick(screen->field2, Qt::LeftButton);
    QTest::qWait(200);
    QCOMPARE(dialogs.messages.size(), 2);
    dialogs.whileShown = nullptr;
    screen->trace.clear();
    QTest::keyClicks(screen->field1, QStringLiteral("2026"));
    QTest::keyClick(screen->field1, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), screen->field2);
    QCOMPARE(screen->trace, (QStringList{"exit:field1", "enter:field2"}));
}

QTEST_MAIN(tst_FocusTracker)
#include "tst_focustracker.moc"
