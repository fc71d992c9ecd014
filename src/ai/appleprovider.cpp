#include "appleprovider.h"

#include "common/stringtable.h"
#include "extraction/filecontext.h"

QCoro::Task<SuggestionResult> AppleMLProvider::suggest(FileContext, std::optional<QString>)
{
    co_return std::unexpected(
        ProviderError{QStringLiteral("AppleML"), -1, StringTable::text("provider.apple.unavailable")});
}
