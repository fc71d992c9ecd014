#include "localprovider.h"

#include "extraction/filecontext.h"
#include "naming/renamerules.h"

LocalProvider::LocalProvider(RenameRules &rules)
    : m_rules(rules)
{
}

QCoro::Task<SuggestionResult> LocalProvider::suggest(FileContext context, std::optional<QString>)
{
    co_return AISuggestion::fromLocal(LocalNamer::name(context, m_rules.categories()));
}
