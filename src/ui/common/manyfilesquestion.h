#pragma once

#include "engine/analysisstarter.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>

class QWidget;

/**
 * Shows a starter's question before many files are analysed ("1.234 Dateien analysieren?", with
 * the cost estimate and a spent budget below it), window-modal on `parent`, and gives the answer
 * back; closes it when the starter withdraws it.
 */
class ManyFilesQuestion final : public QObject
{
    Q_OBJECT

public:
    ManyFilesQuestion(AnalysisStarter &starter, QWidget *parent);

    /** The question on screen, if any. */
    [[nodiscard]] QMessageBox *box() const { return m_box; }

    /** "1.234 Dateien analysieren?", the number in German notation. */
    [[nodiscard]] static QString text(qsizetype count);

private:
    void ask(const AnalysisStarter::Question &question);

    AnalysisStarter &m_starter;
    QWidget *m_parent;
    QPointer<QMessageBox> m_box;
};
