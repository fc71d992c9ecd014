#pragma once

#include "common/filechecks.h"
#include "grounding/groundingreport.h"

#include <QString>
#include <QStringList>

#include <QUrl>
#include <QUuid>
#include <memory>
#include <optional>

/** One file's proposed rename. A failed analysis keeps the current name with confidence 0. */
struct RenameJob {
    QUuid id = QUuid::createUuid();
    QUrl originalURL;
    QString suggestedName; ///< complete file name, extension included; callers may edit it
    double confidence = 0;
    bool approved = true;
    /** Why the analysis failed, in German; absent when it did not fail. */
    std::optional<QString> failureReason;
    /** Fields of the name (as suggested or edited) the file does not back, with German reasons; "name": fallback. */
    QList<Grounding::FieldCheck> unverified;
    /** What was sent and what came back; in memory only. Absent for a failed analysis. */
    std::shared_ptr<const Grounding::Explanation> explanation;
    /** The file as its analysis found it: a file replaced or rewritten since then is not renamed. */
    std::optional<FileChecks::Identity> analysed;
    /** The user changed the name or the tick: a newer analysis of the file does not replace the row. */
    bool editedByUser = false;
    /** The name a newer analysis suggested while the user's edit was kept. */
    std::optional<QString> newerSuggestion;
    /** Why applying did not rename the file, in German; the row stays in the review. */
    std::optional<QString> applyFailure;

    [[nodiscard]] QStringList unverifiedFields() const;
    /** Whether the queue must leave the job for review: an unverified date or amount, or a fallback name. */
    [[nodiscard]] bool needsReview() const;
    /** Fields, all backed by the document: no unverified date, amount or sender. Only such a job arrives ticked. */
    [[nodiscard]] bool isSure() const;

    [[nodiscard]] QString originalPath() const { return originalURL.toLocalFile(); }
    [[nodiscard]] QString originalName() const { return originalURL.fileName(); }
    /** A job whose analysis failed: unchanged name and confidence exactly 0. */
    [[nodiscard]] bool hasFailed() const { return confidence == 0.0 && !changesName(); }
    /** Whether its name is another than the file's current one (a failed analysis keeps that). */
    [[nodiscard]] bool changesName() const { return suggestedName != originalName(); }
    /**
     * What applying renames: ticked, and another name than the file's current one. The one rule of
     * what gets renamed, for the batch and for what every face counts before it applies.
     */
    [[nodiscard]] bool isRenamable() const { return approved && changesName(); }

    /** A confidence as every face shows it: whole percent, cut rather than rounded ("91%" for 0.919). */
    [[nodiscard]] static QString confidenceText(double confidence);

    /** The job a failed analysis gives: the file keeps its name; `reason` says why, in German. */
    [[nodiscard]] static RenameJob failed(const QString &path, const QString &reason);
};
