#include "promptcontract.h"

#include "common/stringtable.h"
#include "common/unicodetext.h"
#include "extraction/filecontext.h"
#include "naming/naminglog.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace PromptContract {
namespace {

// The instructions are exact texts: providers were tuned against these words.
const QString SystemPromptHead = QString::fromUtf8(
    u8R"prompt(Du bist ein Dateiumbenennungs-Assistent. Analysiere den Dateiinhalt und extrahiere strukturierte Informationen.

Antworte ausschließlich mit JSON in diesem Format:
{
  "datum": "YYYY-MM-DD oder null",
  "kategorie": "eine der Kategorien oder null",
  "beschreibung": "kurze Beschreibung, max 5 Worte",
  "absender": "Firma/Person oder null",
  "betrag": "Geldbetrag oder null",
  "confidence": 0.85
}

Verfügbare Kategorien: )prompt");

const QString SystemPromptTail = QString::fromUtf8(u8R"prompt(

Regeln:
- datum: Extrahiere ein Datum aus dem Inhalt (Rechnungsdatum, Vertragsdatum etc.). Wenn kein Datum im Text vorkommt, setze null — erfinde kein Datum.
- kategorie: Ordne das Dokument einer der Kategorien zu.
- beschreibung: Prägnante Zusammenfassung, max 5 Worte. Die Kategorie darf NICHT in der Beschreibung vorkommen. Falsch: kategorie="angebot", beschreibung="Website Angebot". Richtig: kategorie="angebot", beschreibung="Website Redesign".
- absender: Firma, Organisation oder Person die das Dokument erstellt hat. Nur der Kurzname, z.B. "Telekom" statt "Telekom Deutschland GmbH".
- betrag: Nur bei Rechnungen/Belegen, Format "49.99"
- confidence: Wie sicher bist du bei der Extraktion (0.0 - 1.0)
- Nur das JSON-Objekt, kein umschließender Text)prompt");

constexpr qsizetype FallbackNameLength = 80;
constexpr double DefaultConfidence = 0.5;

std::optional<QString> stringValue(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    return value.isString() ? std::optional<QString>(value.toString()) : std::nullopt;
}

} // namespace

const QStringList &knownExtensions()
{
    static const QStringList extensions{QStringLiteral("pdf"),  QStringLiteral("txt"),  QStringLiteral("jpg"),
                                        QStringLiteral("jpeg"), QStringLiteral("png"),  QStringLiteral("heic"),
                                        QStringLiteral("tiff"), QStringLiteral("doc"),  QStringLiteral("docx"),
                                        QStringLiteral("xls"),  QStringLiteral("xlsx"), QStringLiteral("csv"),
                                        QStringLiteral("json"), QStringLiteral("xml"),  QStringLiteral("html"),
                                        QStringLiteral("rtf"),  QStringLiteral("gif"),  QStringLiteral("bmp"),
                                        QStringLiteral("webp"), QStringLiteral("svg"),  QStringLiteral("md")};
    return extensions;
}

QString buildSystemPrompt(const QStringList &categories)
{
    return SystemPromptHead + categories.join(QStringLiteral(", ")) + SystemPromptTail;
}

QString promptExcerpt(const FileContext &context)
{
    return UnicodeText::leftGraphemes(context.extractedText, ExcerptLength);
}

Privacy::MaskResult maskedExcerpt(const FileContext &context, const Privacy::MaskOptions &options)
{
    // Masked beyond the cut, so that an identifier or own detail the cut would split is still
    // recognised whole; the result then ends where the excerpt ends in the original.
    constexpr qsizetype Margin = 256;
    const qsizetype end = promptExcerpt(context).size();
    Privacy::MaskResult result = Privacy::mask(context.extractedText.left(end + Margin), options);
    qsizetype maskedEnd = end;
    for (const Privacy::MaskedSpan &span : std::as_const(result.spans)) {
        if (span.start >= end)
            break;
        maskedEnd = span.start + span.length > end ? span.maskedStart + span.placeholder.size()
                                                   : maskedEnd + span.placeholder.size() - span.length;
    }
    result.text.truncate(maskedEnd);
    result.spans.removeIf([&](const Privacy::MaskedSpan &span) { return span.maskedStart >= maskedEnd; });
    return result;
}

QString maskSummary(const QList<Privacy::MaskedSpan> &spans)
{
    QList<std::pair<Privacy::Kind, int>> counts;
    for (const Privacy::MaskedSpan &span : spans) {
        const auto known = std::ranges::find(counts, span.kind, &std::pair<Privacy::Kind, int>::first);
        if (known != counts.end())
            ++known->second;
        else
            counts.append({span.kind, 1});
    }
    if (counts.isEmpty())
        return {};
    QStringList parts;
    for (const auto &[kind, count] : counts)
        parts << QString::number(count) + u' ' + Privacy::placeholder(kind).mid(1).chopped(1);
    return StringTable::text("privacy.masked", int(spans.size())).arg(parts.join(QStringLiteral(", ")));
}

QString metadataLine(const FileContext &context)
{
    return formatMetadata(context.metadata).join(QStringLiteral(", "));
}

Privacy::MaskedPrompt maskedPrompt(const FileContext &context, const std::optional<QString> &nameTemplate,
                                   const Privacy::MaskOptions &options)
{
    // The metadata line is masked whole: a value's key ("Telefon: …") tells a number's kind.
    return Privacy::MaskedPrompt{
        .fileName = Privacy::maskFileName(context.fileName, options),
        .metadata = Privacy::mask(metadataLine(context), options),
        .excerpt = maskedExcerpt(context, options),
        .nameTemplate = nameTemplate ? std::optional(Privacy::mask(*nameTemplate, options)) : std::nullopt,
    };
}

QString buildUserPrompt(const FileContext &context, const std::optional<QString> &nameTemplate,
                        const std::optional<Privacy::MaskedPrompt> &masked)
{
    const QString metadata = masked ? masked->metadata.text : metadataLine(context);
    QString prompt =
        QStringLiteral("Originaler Dateiname: ") + (masked ? masked->fileName.text : context.fileName) + u'\n';
    prompt += QStringLiteral("Dateityp: ") + context.fileExtension + u'\n';
    if (!metadata.isEmpty())
        prompt += QStringLiteral("Metadaten: ") + metadata + u'\n';
    if (!context.extractedText.isEmpty())
        prompt +=
            QStringLiteral("Inhalt (Auszug):\n") + (masked ? masked->excerpt.text : promptExcerpt(context)) + u'\n';
    if (nameTemplate) {
        prompt += QStringLiteral("Namenstemplate: ") +
                  (masked && masked->nameTemplate ? masked->nameTemplate->text : *nameTemplate) + u'\n';
    }
    return prompt;
}

std::pair<std::optional<AIExtraction>, double> parseExtraction(const QString &reply)
{
    const std::pair<std::optional<AIExtraction>, double> failure{std::nullopt, AISuggestion::FallbackConfidence};
    const qsizetype open = reply.indexOf(u'{');
    const qsizetype close = reply.lastIndexOf(u'}');
    if (open < 0 || close < open)
        return failure;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(reply.mid(open, close - open + 1).toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return failure;

    const QJsonObject object = document.object();
    const QJsonValue confidenceValue = object.value(QStringLiteral("confidence"));
    const double confidence = confidenceValue.isDouble() ? confidenceValue.toDouble() : DefaultConfidence;

    AIExtraction extraction;
    extraction.confidence = confidence;
    if (object.contains(QStringLiteral("beschreibung")) || object.contains(QStringLiteral("kategorie")) ||
        object.contains(QStringLiteral("datum"))) {
        extraction.datum = stringValue(object, QStringLiteral("datum"));
        extraction.kategorie = stringValue(object, QStringLiteral("kategorie"));
        extraction.beschreibung = stringValue(object, QStringLiteral("beschreibung")).value_or(QString());
        extraction.absender = stringValue(object, QStringLiteral("absender"));
        extraction.betrag = stringValue(object, QStringLiteral("betrag"));
        return {extraction, confidence};
    }
    if (const std::optional<QString> name = stringValue(object, QStringLiteral("name"))) {
        extraction.beschreibung = *name;
        return {extraction, confidence};
    }
    return failure;
}

AISuggestion makeSuggestion(const QString &reply, const QString &fileExtension)
{
    if (const std::optional<AIExtraction> extraction = parseExtraction(reply).first)
        return AISuggestion::fromExtraction(*extraction).withReply(reply);
    const QString firstLine = reply.trimmed().section(u'\n', 0, 0);
    qCDebug(lcNaming, "fallback name: the reply holds no JSON object with the fields, its first line is taken");
    return AISuggestion::fromFallbackName(
               fallbackName(UnicodeText::leftGraphemes(firstLine, FallbackNameLength), fileExtension))
        .withReply(reply);
}

QString fallbackName(const QString &text, const QString &fileExtension)
{
    QString name = text;
    const QString suffix = u'.' + fileExtension;
    if (name.toLower().endsWith(suffix))
        name.chop(suffix.size());
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot >= 0 && knownExtensions().contains(name.mid(dot + 1).toLower()))
        name.truncate(dot);

    name.replace(u'/', u'-').replace(u':', u'-').replace(u'\\', u'-');
    for (QChar removed : {u'"', u'*', u'?', u'<', u'>'})
        name.remove(removed);
    name.replace(u'|', u'-');
    while (name.contains(QStringLiteral("--")))
        name.replace(QStringLiteral("--"), QStringLiteral("-"));

    auto trimmable = [](QChar c) { return c == u'.' || c == u'-' || c == u'_' || c == u' '; };
    qsizetype begin = 0;
    qsizetype end = name.size();
    while (begin < end && trimmable(name.at(begin)))
        ++begin;
    while (end > begin && trimmable(name.at(end - 1)))
        --end;
    name = name.mid(begin, end - begin);
    if (name.isEmpty())
        name = QStringLiteral("unnamed");
    return name + suffix;
}

} // namespace PromptContract
