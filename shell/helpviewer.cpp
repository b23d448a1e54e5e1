#include "helpviewer.h"

#include "core/application.h"

#include <QDialog>
#include <QFileInfo>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

// "QmrHelp.hlp" and context 13607700 -> ":/help/QmrHelp/13607700.html"
QString TopicPath(const QString &helpFile, int helpContext)
{
    const QString book = QFileInfo(helpFile).completeBaseName();
    const QString page = QStringLiteral(":/help/%1/%2.html").arg(book).arg(helpContext);
    return QFileInfo::exists(page) ? page : QStringLiteral(":/help/%1/index.html").arg(book);
}

} // namespace

void ShowHelpTopic(const QString &helpFile, int helpContext)
{
    auto *dialog = new QDialog(host::MainForm());
    dialog->setObjectName(QStringLiteral("frmAjuda"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("Ajuda"));
    auto *browser = new QTextBrowser(dialog);
    browser->setOpenLinks(true);
    browser->setSource(QUrl(QStringLiteral("qrc") + TopicPath(helpFile, helpContext)));
    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(browser);
    dialog->resize(560, 420);
    dialog->show();
}
