#include "ai/costestimate.h"

#include "ai/promptcontract.h"
#include "common/stringtable.h"

#include <QFileInfo>
#include <QLocale>

#include <algorithm>

namespace {
// The categories, the file's name, type and metadata and the template line, generously.
constexpr qint64 FileLinesChars = 400;
} // namespace

RunSize CostEstimate::measure(const QStringList &files)
{
    RunSize run{files.size(), 0};
    for (const QString &file : files)
        run.excerptChars += std::clamp<qint64>(QFileInfo(file).size(), 0, PromptContract::ExcerptLength);
    return run;
}

qint64 CostEstimate::promptOverheadTokens()
{
    static const qint64 tokens = (PromptContract::buildSystemPrompt({}).size() + FileLinesChars) / CharsPerToken;
    return tokens;
}

CostEstimate CostEstimate::of(const RunSize &run, TokenPrice price)
{
    CostEstimate estimate;
    estimate.files = run.files;
    estimate.promptTokens = run.excerptChars / CharsPerToken + run.files * promptOverheadTokens();
    estimate.answerTokens = run.files * AnswerTokensPerFile;
    estimate.euros = PriceTable::cost(price, estimate.promptTokens, estimate.answerTokens);
    return estimate;
}

QString CostEstimate::describe() const
{
    // A few files to a cheap model would read "0,00 €", as if free.
    const QString euroText = euros > 0 && euros < 0.005 ? QStringLiteral("< ") + PriceTable::euros(0.01)
                                                        : QStringLiteral("≈ ") + PriceTable::euros(euros);
    return StringTable::text("cost.estimate", int(std::min<qsizetype>(files, INT_MAX)))
        .arg(QLocale(QLocale::German).toString(files), PriceTable::tokenCount(tokens()), euroText);
}
