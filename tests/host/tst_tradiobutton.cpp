#include "controls/tgroupbox.h"
#include "controls/tradiobutton.h"
#include "scripteddialogs.h"

#include <QVBoxLayout>
#include <QtTest>

class tst_TRadioButton : public QObject
{
    Q_OBJECT

private slots:
    void operatorChoiceRaisesClick_data();
    void operatorChoiceRaisesClick();
    void programCheckRaisesNothing();
    void choosingTheCheckedOneRaisesNothing_data();
    void choosingTheCheckedOneRaisesNothing();
    void keyDownSeesVirtualKeys_data();
    void keyDownSeesVirtualKeys();
};

namespace {
struct Group
{
    Group()
    {
        box.setLayout(new QVBoxLayout);
        first = new TRadioButton(&box);
        second = new TRadioButton(&box);
        first->SetCaption(QStringLiteral("Todas"));
        second->SetCaption(QStringLiteral("Lista"));
        box.layout()->addWidget(first);
        box.layout()->addWidget(second);
        first->SetChecked(true);
        first->OnClick = [this](QObject *s) {
            clicks << static_cast<TRadioButton *>(s)->Caption();
        };
        second->OnClick = first->OnClick;
        box.show();
    }
    TGroupBox box;
    TRadioButton *first;
    TRadioButton *second;
    QStringList clicks;
};
} // namespace

void tst_TRadioButton::operatorChoiceRaisesClick_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("mouse") << "mouse";
    QTest::newRow("space") << "space";
    QTest::newRow("arrow key") << "arrow";
}

void tst_TRadioButton::operatorChoiceRaisesClick()
{
    QFETCH(QString, how);
    Group group;
    if (how == QLatin1String("mouse")) {
        QTest::mouseClick(group.second, Qt::LeftButton);
    } else if (how == QLatin1String("space")) {
        group.second->setFocus();
        QTest::keyClick(group.second, Qt::Key_Space);
    } else {
        QApplication::setActiveWindow(&group.box);
        QVERIFY(QTest::qWaitForWindowActive(&group.box));
        group.first->setFocus();
        QTest::keyClick(group.first, Qt::Key_Down);
    }
    QVERIFY(group.second->Checked());
    QVERIFY(!group.first->Checked());
    QCOMPARE(group.clicks, QStringList{QStringLiteral("Lista")});
}

void tst_TRadioButton::programCheckRaisesNothing()
{
    Group group;
    group.second->SetChecked(true);
    QVERIFY(!group.first->Checked());
    group.second->SetChecked(false);
    QVERIFY(!group.first->Checked());
    QVERIFY(!group.second->Checked());
    QVERIFY(group.clicks.isEmpty());
}

void tst_TRadioButton::choosingTheCheckedOneRaisesNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("mouse") << "mouse";
    QTest::newRow("space") << "space";
    QTest::newRow("program click") << "click";
}

void tst_TRadioButton::choosingTheCheckedOneRaisesNothing()
{
    QFETCH(QString, how);
    Group group;
    group.second->SetChecked(true);
    if (how == QLatin1String("mouse")) {
        QTest::mouseClick(group.second, Qt::LeftButton);
    } else if (how == QLatin1String("space")) {
        group.second->setFocus();
        QTest::keyClick(group.second, Qt::Key_Space);
    } else {
        group.second->click();
    }
    QVERIFY(group.second->Checked());
    QVERIFY(group.clicks.isEmpty());
    // The other one is still chosen by a click.
    QTest::mouseClick(group.first, Qt::LeftButton);
    QCOMPARE(group.clicks, QStringList{QStringLiteral("Todas")});
}

void tst_TRadioButton::keyDownSeesVirtualKeys_data()
{
    QTest::addColumn<int>("qtKey");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("virtualKey");
    QTest::newRow("F9") << int(Qt::Key_F9) << int(Qt::NoModifier) << 120;
    QTest::newRow("shift F9") << int(Qt::Key_F9) << int(Qt::ShiftModifier) << 120;
    QTest::newRow("letter") << int(Qt::Key_L) << int(Qt::NoModifier) << int('L');
}

void tst_TRadioButton::keyDownSeesVirtualKeys()
{
    QFETCH(int, qtKey);
    QFETCH(int, modifiers);
    QFETCH(int, virtualKey);
    Group group;
    int seen = 0;
    Qt::KeyboardModifiers held;
    group.second->OnKeyDown = [&](QObject *, int &key, Qt::KeyboardModifiers shift) {
        seen = key;
        held = shift;
    };
    group.second->setFocus();
    QTest::keyClick(group.second, Qt::Key(qtKey), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(seen, virtualKey);
    QCOMPARE(int(held), modifiers);
}

QTEST_MAIN(tst_TRadioButton)
#include "tst_tradiobutton.moc"
