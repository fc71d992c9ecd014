#include "ui/files/explanationpanel.h"

#include "ai/promptcontract.h"

#include <QDialogButtonBox>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QString escaped(const QString &text)
{
    return text.toHtmlEscaped().replace(u'\n', QStringLiteral("<br>"));
}

/** The excerpt with every passage found in it highlighted; overlapping passages merge. */
QString markedExcerpt(const Grounding::Explanation &explanation)
{
    QList<std::pair<qsizetype, qsizetype>> spans;
    for (const Grounding::FieldCheck &check : explanation.report.fields) {
        if (check.status == Grounding::Status::verified && check.position >= 0 &&
            check.position + check.passage.size() <= explanation.excerpt.size())
            spans.append({check.position, check.position + check.passage.size()});
    }
    std::ranges::sort(spans);
    QString html;
    qsizetype at = 0;
    for (const auto &[start, end] : spans) {
        if (end <= at)
            continue;
        const qsizetype from = std::max(start, at);
        html += escaped(explanation.excerpt.mid(at, from - at)) + QStringLiteral("<mark>") +
                escaped(explanation.excerpt.mid(from, end - from)) + QStringLiteral("</mark>");
        at = end;
    }
    return html + escaped(explanation.excerpt.mid(at));
}

/** The excerpt as sent with personal data masked: how many of which kind, each placeholder marked. */
QString maskedExcerpt(const Privacy::MaskResult &masked)
{
    QString html;
    if (!masked.spans.isEmpty())
        html = QStringLiteral("<i>") + PromptContract::maskSummary(masked.spans).toHtmlEscaped() +
               QStringLiteral("</i><br>");
    qsizetype at = 0;
    for (const Privacy::MaskedSpan &span : masked.spans) {
        html += escaped(masked.text.mid(at, span.maskedStart - at)) +
                QStringLiteral("<span style=\"background-color:#d2e3fc\">") + span.placeholder.toHtmlEscaped() +
                QStringLiteral("</span>");
        at = span.maskedStart + span.placeholder.size();
    }
    return html + escaped(masked.text.mid(at));
}

QString fieldLine(const Grounding::FieldCheck &check)
{
    QString line = QStringLiteral("<b>") + check.field.toHtmlEscaped() + QStringLiteral("</b>: ");
    switch (check.status) {
    case Grounding::Status::verified:
        return line + qtTrId("explain.verified") + QStringLiteral(" – „") + check.passage.toHtmlEscaped() + u'“';
    case Grounding::Status::unverified:
        return line + QStringLiteral("<span style=\"color:#d93025\">⚠ ") + check.reason.toHtmlEscaped() +
               QStringLiteral("</span>");
    case Grounding::Status::notCheckable:
        break;
    }
    return line + qtTrId("explain.notCheckable");
}

QString section(const QString &title, const QString &body)
{
    return QStringLiteral("<h3>") + title.toHtmlEscaped() + QStringLiteral("</h3><p>") + body + QStringLiteral("</p>");
}

} // namespace

QString ExplanationPanel::html(const Grounding::Explanation &explanation)
{
    QStringList fields;
    for (const Grounding::FieldCheck &check : explanation.report.fields)
        fields << fieldLine(check);
    const QString none = QStringLiteral("<i>") + qtTrId("explain.none") + QStringLiteral("</i>");
    QString html = section(qtTrId("explain.fields"), fields.isEmpty() ? none : fields.join(QStringLiteral("<br>")));
    // What left the machine; the passages the fields were checked against are in the unmasked text.
    const QString excerpt = explanation.excerpt.isEmpty() ? none
                            : explanation.masked          ? maskedExcerpt(*explanation.masked)
                                                          : markedExcerpt(explanation);
    html += section(qtTrId("explain.excerpt"), excerpt);
    html += section(qtTrId("explain.metadata"),
                    explanation.metadataLine.isEmpty() ? none : escaped(explanation.metadataLine));
    if (explanation.nameTemplate)
        html += section(qtTrId("explain.template"), escaped(*explanation.nameTemplate));
    html += section(qtTrId("explain.reply"),
                    QStringLiteral("<pre>") + explanation.rawReply.toHtmlEscaped() + QStringLiteral("</pre>"));
    return html;
}

ExplanationPanel::ExplanationPanel(const QString &fileName, const Grounding::Explanation &explanation, QWidget *parent)
    : QDialog(parent)
    , m_browser(new QTextBrowser)
{
    setWindowTitle(qtTrId("explain.title") + QStringLiteral(" – ") + fileName);
    setAttribute(Qt::WA_DeleteOnClose);
    m_browser->setAccessibleName(qtTrId("explain.title"));
    m_browser->setHtml(html(explanation));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto *column = new QVBoxLayout(this);
    column->addWidget(m_browser, 1);
    column->addWidget(buttons);
    resize(640, 560);
}
