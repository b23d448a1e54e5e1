#include "data/hostfunctions.h"

#include <QTest>

class TstHostFunctions : public QObject
{
    Q_OBJECT
private slots:
    void emptyString_data();
    void emptyString();
    void ajusta_data();
    void ajusta();
    void strZero_data();
    void strZero();
};

void TstHostFunctions::emptyString_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("blank");
    QTest::newRow("empty") << "" << true;
    QTest::newRow("spaces") << "    " << true;
    QTest::newRow("code") << "0001" << false;
    QTest::newRow("code with blanks") << " 1  " << false;
}

void TstHostFunctions::emptyString()
{
    QFETCH(QString, text);
    QFETCH(bool, blank);
    QCOMPARE(EmptyString(text), blank);
}

void TstHostFunctions::ajusta_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("expected");
    QTest::newRow("branch") << "1" << 4 << "0001";
    QTest::newRow("periodicity") << "3" << 2 << "03";
    QTest::newRow("full width") << "2026" << 4 << "2026";
    QTest::newRow("year 999") << "999" << 4 << "0999";
    // An empty year must still read as not informed after completion.
    QTest::newRow("empty stays empty") << "" << 4 << "";
    QTest::newRow("longer kept whole") << "12345" << 4 << "12345";
    QTest::newRow("blanks are not digits") << "  " << 4 << "00  ";
}

void TstHostFunctions::ajusta()
{
    QFETCH(QString, code);
    QFETCH(int, width);
    QFETCH(QString, expected);
    QCOMPARE(Ajusta(code, width), expected);
}

void TstHostFunctions::strZero_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("expected");
    QTest::newRow("month") << 3.0 << 2 << 0 << "03";
    QTest::newRow("december") << 12.0 << 2 << 0 << "12";
    QTest::newRow("wider than width") << 123.0 << 2 << 0 << "123";
    QTest::newRow("decimals") << 1.5 << 6 << 2 << "001.50";
    QTest::newRow("negative") << -5.0 << 4 << 0 << "-005";
}

void TstHostFunctions::strZero()
{
    QFETCH(double, value);
    QFETCH(int, width);
    QFETCH(int, decimals);
    QFETCH(QString, expected);
    QCOMPARE(StrZero(value, width, decimals), expected);
}

QTEST_APPLESS_MAIN(TstHostFunctions)
#include "tst_hostfunctions.moc"
