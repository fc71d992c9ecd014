#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>

class AnalysisStarter;
class QWidget;

/**
 * Shows a starter's question before many files are analysed ("1.234 Dateien analysieren?"),
 * window-modal on `parent`, and gives the answer back; closes it when the starter withdraws it.
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
    void ask(qsizetype count);

    AnalysisStarter &m_starter;
    QWidget *m_parent;
    QPointer<QMessageBox> m_box;
};
