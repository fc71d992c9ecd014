#pragma once

#include "ai/aisuggestion.h"
#include "naming/aiextraction.h"
#include "privacy/privacyfilter.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

struct FileContext;

/**
 * The question every provider is asked, in the same words, and how every reply is read.
 * Pure functions, safe on any thread.
 */
namespace PromptContract {

/**
 * Raised whenever the question or the reading of a reply changes in a way the instructions'
 * text does not show (the user prompt's lines, the parsing): replies kept under an older
 * version are not used again.
 */
inline constexpr int Version = 1;

/** The 21 extensions a fallback name may carry from the reply and that are cut off it. */
[[nodiscard]] const QStringList &knownExtensions();

/** The fixed German instructions with `categories` (joined by ", ") spliced in. */
[[nodiscard]] QString buildSystemPrompt(const QStringList &categories);

/** How much of a file's text the prompt carries, in grapheme clusters. */
inline constexpr qsizetype ExcerptLength = 2000;

/** The file's text as the prompt carries it: at most ExcerptLength grapheme clusters; empty when none. */
[[nodiscard]] QString promptExcerpt(const FileContext &context);

/**
 * The excerpt with personal data masked: the same stretch of the text as `promptExcerpt`, an
 * identifier the cut would split masked whole.
 */
[[nodiscard]] Privacy::MaskResult maskedExcerpt(const FileContext &context, const Privacy::MaskOptions &options);

/** "3 Angaben maskiert: 1 IBAN, 2 E-Mail", kinds in the order they first occur; empty for none. */
[[nodiscard]] QString maskSummary(const QList<Privacy::MaskedSpan> &spans);

/** The metadata as the prompt's "Metadaten" line carries it (without label and line feed); empty when none. */
[[nodiscard]] QString metadataLine(const FileContext &context);

/**
 * Everything the user prompt carries from the file and the template, masked with the same rules:
 * the file name, the metadata line, the excerpt and the template text.
 */
[[nodiscard]] Privacy::MaskedPrompt maskedPrompt(const FileContext &context, const std::optional<QString> &nameTemplate,
                                                 const Privacy::MaskOptions &options);

/**
 * Name, type, metadata, up to 2000 characters of text and the template line, each ending in a
 * line feed; metadata, text and template only when present (an empty template is present). With
 * `masked`, name, metadata, text and template are its parts instead: nothing else is sent.
 */
[[nodiscard]] QString buildUserPrompt(const FileContext &context, const std::optional<QString> &nameTemplate,
                                      const std::optional<Privacy::MaskedPrompt> &masked = std::nullopt);

/** The JSON object between the first "{" and the last "}" read into fields; never fails. */
[[nodiscard]] std::pair<std::optional<AIExtraction>, double> parseExtraction(const QString &reply);

/** The extraction of `reply`, or a fallback name made from its first line. */
[[nodiscard]] AISuggestion makeSuggestion(const QString &reply, const QString &fileExtension);

/** `text` cleaned into a file name with `fileExtension` (lower case, no dot) appended. */
[[nodiscard]] QString fallbackName(const QString &text, const QString &fileExtension);

} // namespace PromptContract
