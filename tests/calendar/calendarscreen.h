#pragma once

// Steps the calendar screen tests share.

#include "calendar/cli_qmr07700.h"

#include "controls/tdbcalendar.h"
#include "controls/tmaskedit.h"
#include "controls/tspinedit.h"
#include "net/tnetconnection.h"
#include "screenenvironment.h"

#include <QApplication>
#include <QMdiArea>
#include <QTest>

#include <algorithm>

namespace calendartest {

// Opens the calendar screen through the shell's entry point with the main window active and
// returns it once its first activation has run; every remote call it makes is appended to calls
// as method followed by arguments. Null when the screen did not come up.
inline Cli_qmr07700::TfrmCaleProdu *OpenScreen(testsupport::ScreenEnvironment &env,
                                               QObject *receiver, QList<QVariantList> *calls)
{
    QApplication::setActiveWindow(env.window.get());
    if (!QTest::qWaitForWindowActive(env.window.get()))
        return nullptr;
    Cli_qmr07700::IniProc();
    Cli_qmr07700::TfrmCaleProdu *screen = Cli_qmr07700::frmCaleProdu;
    if (!screen || !QTest::qWaitFor([screen] { return !screen->medCdFilial->Text().isEmpty(); }))
        return nullptr;
    QObject::connect(screen->netCaleComp, &TNetConnection::called, receiver,
                     [calls](const QString &method, const QVariantList &params) {
                         calls->append(QVariantList{method} + params);
                     });
    return screen;
}

// Closes every screen and waits until the calendar screen is released.
inline void CloseScreens(testsupport::ScreenEnvironment &env)
{
    if (!env.mdiArea)
        return;
    // A day a test left pending is dropped when the close asks about it.
    if (Cli_qmr07700::frmCaleProdu && Cli_qmr07700::frmCaleProdu->HasPendingDay())
        env.dialogs.answers = {mrNo};
    env.mdiArea->closeAllSubWindows();
    (void)QTest::qWaitFor([] { return Cli_qmr07700::frmCaleProdu.isNull(); }, 2000);
}

// Clicks a day of a month calendar where the operator would.
inline void ClickDay(TDBCalendar *calendar, int day)
{
    QTest::mouseClick(calendar, Qt::LeftButton, {}, calendar->dayRect(day).center());
}

// Fills the panel with branch 0001, a periodicity and a year, then leaves it by clicking a day, the
// way an operator brings the year view live; true when that day's month is then selected.
inline bool GoLive(Cli_qmr07700::TfrmCaleProdu *screen, const QString &periodicity,
                   const QDate &date)
{
    screen->medCdPeriodicidade->SetText(periodicity);
    screen->speYear->SetText(QString::number(date.year()));
    screen->medCdPeriodicidade->setFocus();
    TDBCalendar *calendar = screen->Calendar(date.month());
    ClickDay(calendar, date.day());
    return screen->SelectedCalendar() == calendar && calendar->Date() == date;
}

// How many of the recorded calls went to a method.
inline int CallsOf(const QList<QVariantList> &calls, const QString &method)
{
    return int(std::count_if(calls.cbegin(), calls.cend(), [&](const QVariantList &call) {
        return call.value(0).toString() == method;
    }));
}

} // namespace calendartest
