#include "ui/files/explanationpanel.h"

#include "ai/promptcontract.h"

#include <QDialogButtonBox>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <algorithm>
#include <tuple>

namespace {

QString escaped(const QString &text)
{
    return text.toHtmlEscaped().replace(u'\n', QStringLiteral("<br>"));
}

/** `text` as sent with the placeholders in `masked` marked and the stretches in `passages` (start, end) highlighted. */
QString markedText(const QString &text, const QList<Privacy::MaskedSpan> &masked,
                   const QList<std::pair<qsizetype, qsizetype>> &passages = {})
{
    QList<std::tuple<qsizetype, qsizetype, bool>> spans; // start, end, whether a placeholder
    for (const auto &[start, end] : passages)
        spans.append({start, end, false});
    for (const Privacy::MaskedSpan &span : masked)
        spans.append({span.maskedStart, span.maskedStart + span.placeholder.size(), true});
    std::ranges::sort(spans);
    QString html;
    qsizetype at = 0;
    for (const auto &[start, end, placeholder] : spans) {
        if (end <= at)
            continue;
        const qsizetype from = std::max(start, at);
        html += escaped(text.mid(at, from - at)) +
                (placeholder ? QStringLiteral("<span style=\"background-color:#d2e3fc\">") : QStringLiteral("<mark>")) +
                escaped(text.mid(from, end - from)) +
                (placeholder ? QStringLiteral("</span>") : QStringLiteral("</mark>"));
        at = end;
    }
    return html + escaped(text.mid(at));
}

/** The excerpt as sent, every passage found in it highlighted (overlapping passages merge). */
QString markedExcerpt(const Grounding::Explanation &explanation)
{
    const Privacy::MaskResult *masked = explanation.masked ? &explanation.masked->excerpt : nullptr;
    QList<std::pair<qsizetype, qsizetype>> passages;
    for (const Grounding::FieldCheck &check : explanation.report.fields) {
        if (check.status != Grounding::Status::verified || check.position < 0 ||
            check.position + check.passage.size() > explanation.excerpt.size())
            continue;
        // Passages are found in the unmasked text; one that was masked was not sent.
        const std::optional<qsizetype> start =
            masked ? Privacy::maskedPosition(masked->spans, check.position, check.passage.size())
                   : std::optional<qsizetype>(check.position);
        if (start)
            passages.append({*start, *start + check.passage.size()});
    }
    return markedText(masked ? masked->text : explanation.excerpt,
                      masked ? masked->spans : QList<Privacy::MaskedSpan>(), passages);
}

/** "datum = 2024-03-15 (aus dem Text, auf diesem Gerät gelesen): im Text belegt – „15.03.2024“" */
QString fieldLine(const Grounding::Explanation &explanation, const Grounding::FieldCheck &check)
{
    QString line = QStringLiteral("<b>") + check.field.toHtmlEscaped() + QStringLiteral("</b>");
    if (const std::optional<QString> value = explanation.value(check.field))
        line += QStringLiteral(" = ") + value->toHtmlEscaped();
    const QString source = QStringLiteral("explain.source.") + rawValue(explanation.source(check.field));
    line += QStringLiteral(" <i>(") + qtTrId(source.toLatin1().constData()).toHtmlEscaped() + QStringLiteral(")</i>: ");
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
        fields << fieldLine(explanation, check);
    const QString none = QStringLiteral("<i>") + qtTrId("explain.none") + QStringLiteral("</i>");
    QString html = section(qtTrId("explain.fields"), fields.isEmpty() ? none : fields.join(QStringLiteral("<br>")));
    // What was masked, wherever it stood: the count covers every part, each part marks its own.
    const std::optional<Privacy::MaskedPrompt> &masked = explanation.masked;
    if (const QList<Privacy::MaskedSpan> all = masked ? masked->spans() : QList<Privacy::MaskedSpan>(); !all.isEmpty())
        html +=
            QStringLiteral("<p><i>") + PromptContract::maskSummary(all).toHtmlEscaped() + QStringLiteral("</i></p>");
    if (masked && !masked->fileName.spans.isEmpty())
        html += section(qtTrId("explain.fileName"), markedText(masked->fileName.text, masked->fileName.spans));
    html += section(qtTrId("explain.excerpt"), explanation.excerpt.isEmpty() ? none : markedExcerpt(explanation));
    html += section(qtTrId("explain.metadata"), explanation.metadataLine.isEmpty() ? none
                                                : masked ? markedText(masked->metadata.text, masked->metadata.spans)
                                                         : escaped(explanation.metadataLine));
    if (explanation.nameTemplate)
        html +=
            section(qtTrId("explain.template"),
                    masked && masked->nameTemplate ? markedText(masked->nameTemplate->text, masked->nameTemplate->spans)
                                                   : escaped(*explanation.nameTemplate));
    if (explanation.onDevice)
        return html + QStringLiteral("<p><i>") + qtTrId("explain.onDevice").toHtmlEscaped() +
               QStringLiteral("</i></p>");
    // A kept reply was not asked for again: the excerpt is what was sent the first time.
    const QString kept = explanation.fromCache
                             ? QStringLiteral("<i>") + qtTrId("explain.fromCache") + QStringLiteral("</i>")
                             : QString();
    html += section(qtTrId("explain.reply"),
                    kept + QStringLiteral("<pre>") + explanation.rawReply.toHtmlEscaped() + QStringLiteral("</pre>"));
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
