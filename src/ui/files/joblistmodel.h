#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QMimeDatabase>
#include <QUrl>
#include <QUuid>

#include <optional>

#include "grounding/groundingreport.h"

class RenameEngine;
struct RenameJob;

/**
 * The engine's jobs as a list, refreshed from its signals. The engine stays the only owner of the
 * jobs: toggling a row or editing its name writes through to the job with the same id.
 */
class JobListModel final : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role {
        OriginalNameRole = Qt::UserRole + 1,
        ConfidenceRole,
        BadgeTextRole,
        BadgeColorRole,
        FailureReasonRole, ///< QString, empty when the analysis did not fail
        UrlRole,
        UnverifiedMarksRole, ///< QList<Grounding::NameMark> in the shown name; empty when none or edited
        IdRole,              ///< QUuid of the job
        AnalysisFailedRole,  ///< bool: no name to edit or apply, only a reason
        UncheckedRole,       ///< bool: a field of the name is not backed by the file, or no usable reply
        CachedNoteRole,      ///< QString: "aus dem Zwischenspeicher" when the reply was kept from before; else empty
    };

    explicit JobListModel(RenameEngine &engine, QObject *parent = nullptr);

    [[nodiscard]] int rowCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex &index) const override;

    /** The jobs applying would rename (RenameJob::isRenamable). */
    [[nodiscard]] int approvedCount() const;

    /** The badge's colour of a confidence: green above 0.7, orange above 0.4, else red. */
    [[nodiscard]] static QColor badgeColor(double confidence);

private:
    void refresh();
    /** The reasons of the job's unverified fields, one a line; empty when all are backed. */
    [[nodiscard]] static QString uncheckedReasons(const RenameJob &job);
    /** "Neuerer Vorschlag: …" when a newer analysis was set aside for the user's edit; else empty. */
    [[nodiscard]] static QString newerSuggestion(const RenameJob &job);
    /** "aus dem Zwischenspeicher" when no request was made for the job's name; else empty. */
    [[nodiscard]] static QString cachedNote(const RenameJob &job);
    [[nodiscard]] QIcon iconFor(const QString &path) const;

    /** What a row shows of its job, to tell the rows a change touched from the others. */
    struct Shown {
        QUuid id;
        QUrl url;
        QString name;
        bool approved = false;
        double confidence = 0;
        std::optional<QString> failureReason;
        std::optional<QString> applyFailure;
        std::optional<QString> newerSuggestion;
        QList<Grounding::FieldCheck> unverified;
        const void *explanation = nullptr;

        friend bool operator==(const Shown &, const Shown &) = default;
    };
    [[nodiscard]] static Shown shown(const RenameJob &job);

    RenameEngine &m_engine;
    QList<Shown> m_rows; ///< as last published, to tell edits from new lists
    QMimeDatabase m_mimeDatabase;
    mutable QHash<QString, QIcon> m_icons; ///< per MIME type
};
