#include "ui/common/manyfilesquestion.h"

#include "engine/analysisstarter.h"

#include <QLocale>
#include <QMessageBox>
#include <QPushButton>

ManyFilesQuestion::ManyFilesQuestion(AnalysisStarter &starter, QWidget *parent)
    : QObject(parent)
    , m_starter(starter)
    , m_parent(parent)
{
    connect(&starter, &AnalysisStarter::confirmationNeeded, this, &ManyFilesQuestion::ask);
    connect(&starter, &AnalysisStarter::questionWithdrawn, this, [this] {
        if (!m_box)
            return;
        disconnect(m_box, nullptr, this, nullptr); // nothing left to answer
        m_box->done(QMessageBox::Cancel);
    });
}

QString ManyFilesQuestion::text(qsizetype count)
{
    return qtTrId("drop.confirmMany").arg(QLocale(QLocale::German, QLocale::Germany).toString(count));
}

void ManyFilesQuestion::ask(const AnalysisStarter::Question &question)
{
    // Few files are asked about only for the spent budget; then that is the question.
    const bool many = question.count > AnalysisStarter::ConfirmAbove || question.estimate;
    auto *box =
        new QMessageBox(QMessageBox::Question, QStringLiteral("Namorix"),
                        many ? text(question.count) : qtTrId("budget.confirm"), QMessageBox::NoButton, m_parent);
    QStringList details;
    if (question.estimate)
        details << question.estimate->describe();
    if (question.budgetReached)
        details << *question.budgetReached + u'.';
    details << qtTrId(question.onDevice     ? "drop.confirmMany.onDevice"
                      : question.localFirst ? "drop.confirmMany.localFirst"
                                            : "drop.confirmMany.detail");
    box->setInformativeText(details.join(u'\n'));
    QPushButton *analyzeButton = box->addButton(qtTrId("drop.confirmMany.analyze"), QMessageBox::AcceptRole);
    box->addButton(qtTrId("preview.cancel"), QMessageBox::RejectRole);
    box->setDefaultButton(analyzeButton);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this,
            [this, box, analyzeButton] { m_starter.confirm(box->clickedButton() == analyzeButton); });
    m_box = box;
    box->open();
}
