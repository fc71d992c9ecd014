#include "appleprovider.h"

#include "extraction/filecontext.h"

QCoro::Task<SuggestionResult> AppleMLProvider::suggest(FileContext, std::optional<QString>)
{
    co_return std::unexpected(ProviderError{QStringLiteral("AppleML"), -1,
                                            QStringLiteral("Apple Foundation Models erfordert macOS 26 oder neuer")});
}
