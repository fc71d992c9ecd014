#pragma once

#include "ai/pricetable.h"

#include <QString>
#include <QStringList>

/** What a run's files give the prompts: how many files, and how many characters of text in all. */
struct RunSize {
    qsizetype files = 0;
    qint64 excerptChars = 0;
};

/**
 * What a run is expected to cost, from its files' sizes alone: each file's excerpt as long as
 * the file or the prompt's cap, whichever is less (a document usually holds more text than the
 * cap, so this errs high rather than low); about four characters a token; the instructions and
 * the file's own lines on top of each; a short JSON answer per file.
 */
struct CostEstimate {
    static constexpr int CharsPerToken = 4;
    static constexpr qint64 AnswerTokensPerFile = 80;

    qsizetype files = 0;
    qint64 promptTokens = 0;
    qint64 answerTokens = 0;
    double euros = 0;

    /** The files' sizes; asks the file system for each, so call it off the GUI thread. */
    [[nodiscard]] static RunSize measure(const QStringList &files);
    [[nodiscard]] static CostEstimate of(const RunSize &run, TokenPrice price);
    /** The tokens of every file's instructions and lines, without its excerpt. */
    [[nodiscard]] static qint64 promptOverheadTokens();

    [[nodiscard]] qint64 tokens() const { return promptTokens + answerTokens; }
    /** "≈ 3.000 Dateien, ≈ 4,5 Mio. Tokens, ≈ 6,80 €" */
    [[nodiscard]] QString describe() const;
};
