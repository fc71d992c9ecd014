#pragma once

#include <QCoroTask>
#include <QList>
#include <QPointer>
#include <QUrl>
#include <QWidget>

class NavigationState;
#include <QMessageBox>
class RenameEngine;

/**
 * The one way the window starts an analysis (drop, pick, hand-over): switches to the files
 * section and hands the URLs to the engine. Inputs that expand to more than `ConfirmAbove` files
 * (counted on a worker) are analysed only after the user agrees, so a dropped home folder never
 * sends thousands of files to a paid provider by accident.
 */
class AnalysisStarter final : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype ConfirmAbove = 500;

    AnalysisStarter(RenameEngine &engine, NavigationState &navigation, QWidget *dialogParent);

    QCoro::Task<> start(QList<QUrl> urls);
    [[nodiscard]] bool isCounting() const { return m_counting > 0; }
    /** The question on screen, if any. */
    [[nodiscard]] QMessageBox *pendingQuestion() const { return m_question; }

    /** "1.234 Dateien analysieren?", the number in German notation. */
    [[nodiscard]] static QString question(qsizetype count);

Q_SIGNALS:
    void countingChanged(bool counting);

private:
    void analyze(const QList<QUrl> &urls);
    void ask(const QList<QUrl> &urls, qsizetype count);

    RenameEngine &m_engine;
    NavigationState &m_navigation;
    QWidget *m_dialogParent;
    QPointer<QMessageBox> m_question;
    int m_counting = 0;
};
