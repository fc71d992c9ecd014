#include "ui/files/analysisstarter.h"

#include "engine/inputexpansion.h"
#include "engine/renameengine.h"
#include "settings/navigationstate.h"

#include <QCoroFuture>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QtConcurrent>

AnalysisStarter::AnalysisStarter(RenameEngine &engine, NavigationState &navigation, QWidget *dialogParent)
    : QObject(dialogParent)
    , m_engine(engine)
    , m_navigation(navigation)
    , m_dialogParent(dialogParent)
{
}

QString AnalysisStarter::question(qsizetype count)
{
    return qtTrId("drop.confirmMany").arg(QLocale(QLocale::German, QLocale::Germany).toString(count));
}

QCoro::Task<> AnalysisStarter::start(QList<QUrl> urls)
{
    QStringList paths;
    for (const QUrl &url : urls)
        paths << url.toLocalFile();
    const QPointer<AnalysisStarter> self(this);
    ++m_counting;
    Q_EMIT countingChanged(true);
    QFuture<qsizetype> counting = QtConcurrent::run([paths] { return expandInputs(paths).size(); });
    const qsizetype count = co_await counting;
    if (!self)
        co_return;
    if (--m_counting == 0)
        Q_EMIT countingChanged(false);
    if (count > ConfirmAbove)
        ask(urls, count);
    else
        analyze(urls);
}

void AnalysisStarter::analyze(const QList<QUrl> &urls)
{
    m_navigation.showFiles();
    m_engine.analyze(urls, std::nullopt);
}

void AnalysisStarter::ask(const QList<QUrl> &urls, qsizetype count)
{
    auto *box = new QMessageBox(QMessageBox::Question, QStringLiteral("Namorix"), question(count),
                                QMessageBox::NoButton, m_dialogParent);
    box->setInformativeText(qtTrId("drop.confirmMany.detail"));
    QPushButton *analyzeButton = box->addButton(qtTrId("drop.confirmMany.analyze"), QMessageBox::AcceptRole);
    box->addButton(qtTrId("preview.cancel"), QMessageBox::RejectRole);
    box->setDefaultButton(analyzeButton);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this, box, analyzeButton, urls] {
        if (box->clickedButton() == analyzeButton)
            analyze(urls);
    });
    m_question = box;
    box->open();
}
