#pragma once

#include "ai/aiprovidertype.h"
#include "engine/renamejob.h"
#include "extraction/extractionresult.h"
#include "store/learnedsender.h"

#include <QCoroTask>
#include <QList>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>

class AIProvider;
class AISettings;
class UsageLedger;
class ExtractionSandbox;
class KVXClient;
class ObjectStore;
class RenameRules;

/**
 * One file from its path to its rename job: checks, its content (the companion's text or
 * extraction in the sandbox), then the fields — from the file's e-invoice data, from the on-device
 * namer, from the reply cache or from the provider — checked against the document, and the name
 * built under the rules. Runs on the GUI thread; the engine runs four at a time and keeps the
 * runs and the review list.
 */
class FilePipeline final
{
public:
    /** What the run gives each of its files. */
    struct Run {
        std::shared_ptr<std::atomic_bool> cancelled;
        std::optional<QString> nameTemplate;
        AIProviderType providerType = AIProviderType::local;
        AIProvider *provider = nullptr; ///< owned by the engine's run; not asked for "Lokal"
        /** Ask the provider only where the on-device namer is unsure. */
        bool localFirst = false;
        /** Asked again by the user: no kept reply is taken (the new one replaces it). */
        bool again = false;
        /** What the user kept for each sender, read once at the run's start. */
        QList<LearnedSender> learned;
    };

    struct Services {
        AISettings &settings;
        UsageLedger &ledger;
        RenameRules &rules;
        KVXClient &companion;
        ExtractionSandbox &sandbox;
        ObjectStore *store = nullptr;
    };

    /**
     * The content of `path` as the engine reads it. For PDFs and images the companion (Korvex) is
     * asked first, and its text wins where it has indexed the file — but for a PDF's embedded
     * e-invoice, which the companion cannot see (its data, exact seller, date and total, wins); a
     * failure of the companion is dropped silently. Everything else is read by one of `sandbox`'s
     * helpers (ContentExtraction). Call on the GUI thread.
     */
    [[nodiscard]] static QCoro::Task<ExtractionResult> extract(QString path, KVXClient &companion,
                                                               ExtractionSandbox &sandbox,
                                                               std::shared_ptr<std::atomic_bool> stop = {});

    /**
     * The job for `path`. The file is opened once: its identity, the reply cache's hash of its
     * bytes and the helper all read that one open file, whatever replaces it at its path
     * meanwhile; a file written to while it is read is neither answered from nor kept in the reply
     * cache. `alive` turns false when the caller is gone: the services may be too, so nothing is
     * touched after that.
     */
    [[nodiscard]] static QCoro::Task<RenameJob> process(QString path, Services services, std::shared_ptr<const Run> run,
                                                        std::shared_ptr<bool> alive);
};
