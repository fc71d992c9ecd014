#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class RenameEngine;

/**
 * What the files section shows while the engine analyses: bar, "n / m", what it is doing (or
 * why it waits) and a button that stops the run.
 */
class AnalysisProgressView final : public QWidget
{
    Q_OBJECT

public:
    explicit AnalysisProgressView(RenameEngine &engine, QWidget *parent = nullptr);

private:
    void refresh();

    RenameEngine &m_engine;
    QProgressBar *m_bar;
    QLabel *m_count;
    QLabel *m_analyzing;
};
