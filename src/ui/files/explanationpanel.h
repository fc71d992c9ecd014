#pragma once

#include "grounding/groundingreport.h"

#include <QDialog>

class QTextBrowser;

/**
 * "Warum dieser Name?": what the prompt carried (text excerpt with the supporting passages
 * highlighted, metadata line, template), the model's raw reply, and for each field whether the
 * text backs it. Shows one job's in-memory explanation; nothing is written anywhere.
 */
class ExplanationPanel final : public QDialog
{
    Q_OBJECT

public:
    ExplanationPanel(const QString &fileName, const Grounding::Explanation &explanation, QWidget *parent = nullptr);

    [[nodiscard]] QTextBrowser *browser() const { return m_browser; }

    /** The panel's content as HTML: `excerpt` escaped, each passage of `fields` inside <mark>. */
    [[nodiscard]] static QString html(const Grounding::Explanation &explanation);

private:
    QTextBrowser *m_browser;
};
