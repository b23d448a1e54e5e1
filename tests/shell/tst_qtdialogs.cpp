// Qt's own dialogs as the operator meets them through the host: in Portuguese once the shell has
// loaded Qt's translations, and wide enough for their captions.

#include "qttranslations.h"

#include "core/dialogs.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QPrinter>
#include <QTest>
#include <QTimer>

#include <array>
#include <functional>

class tst_QtDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void dialogsSpeakPortuguese_data();
    void dialogsSpeakPortuguese();
    void titlePromptShowsItsWholeCaption_data();
    void titlePromptShowsItsWholeCaption();
};

namespace {

// Opens a modal dialog through open and hands it to inspect once it is shown, then closes it.
void whileOpen(const std::function<void()> &open, const std::function<void(QWidget *)> &inspect)
{
    QTimer::singleShot(0, [&] {
        QVERIFY(QTest::qWaitFor([] { return QApplication::activeModalWidget() != nullptr; }));
        QWidget *dialog = QApplication::activeModalWidget();
        inspect(dialog);
        dialog->close();
    });
    open();
}

// The texts of a dialog's buttons and tool bar.
QStringList textsOf(QWidget *dialog)
{
    QStringList texts;
    for (const QAction *action : dialog->findChildren<QAction *>())
        texts << action->text();
    for (const QAbstractButton *button : dialog->findChildren<QAbstractButton *>())
        texts << button->text();
    return texts;
}

} // namespace

void tst_QtDialogs::initTestCase()
{
    QVERIFY(LoadQtTranslations());
}

void tst_QtDialogs::dialogsSpeakPortuguese_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("portuguese");
    for (const auto &[dialog, english, portuguese] :
         {std::array{"preview", "Next page", "Próxima página"},
          std::array{"input", "Cancel", "Cancelar"}, std::array{"save", "Cancel", "Cancelar"}})
        QTest::newRow(dialog) << QString(dialog) << QString(english)
                              << QString::fromUtf8(portuguese);
}

void tst_QtDialogs::dialogsSpeakPortuguese()
{
    QFETCH(QString, dialog);
    QFETCH(QString, english);
    QFETCH(QString, portuguese);
    QPrinter printer;
    QString value;
    QStringList texts;
    whileOpen(
        [&] {
            if (dialog == "preview")
                CurrentDialogs()->PrintPreview(&printer, [](QPrinter *) {});
            else if (dialog == "input")
                CurrentDialogs()->InputQuery("Título do Relatório", "Informe o título:", value);
            else
                CurrentDialogs()->SaveFileName("Salvar relatório", "QMR077.pdf", "PDF (*.pdf)");
        },
        [&](QWidget *shown) { texts = textsOf(shown); });
    QVERIFY2(!texts.contains(english), qPrintable(texts.join(" | ")));
    QVERIFY2(texts.contains(portuguese), qPrintable(texts.join(" | ")));
}

void tst_QtDialogs::titlePromptShowsItsWholeCaption_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("prompt");
    QTest::newRow("report title") << QStringLiteral("Título do Relatório")
                                  << QStringLiteral("Informe o título do relatório:");
    QTest::newRow("caption longer than the prompt")
        << QStringLiteral("Título do relatório de produção por filial")
        << QStringLiteral("Título:");
}

void tst_QtDialogs::titlePromptShowsItsWholeCaption()
{
    QFETCH(QString, caption);
    QFETCH(QString, prompt);
    const int titleBarControls = 120; // the window's icon and its three title buttons
    QString value;
    int width = 0, needed = 0;
    whileOpen([&] { CurrentDialogs()->InputQuery(caption, prompt, value); },
              [&](QWidget *shown) {
                  width = shown->width();
                  needed = shown->fontMetrics().horizontalAdvance(caption) + titleBarControls;
              });
    QVERIFY2(width >= needed, qPrintable(QStringLiteral("%1 < %2").arg(width).arg(needed)));
}

QTEST_MAIN(tst_QtDialogs)
#include "tst_qtdialogs.moc"
