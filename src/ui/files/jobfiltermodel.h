#pragma once

#include <QSortFilterProxyModel>

/**
 * The review's rows narrowed by state and by a text in the original or suggested name. The view
 * sees only this model: rows are addressed through it, jobs by their id.
 */
class JobFilterModel final : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    enum class State {
        all,
        unchecked, ///< a field of the name not backed by the file, or no usable reply
        failed,    ///< the analysis failed or the file was not renamed
    };

    explicit JobFilterModel(QObject *parent = nullptr);

    void setState(State state);
    [[nodiscard]] State state() const { return m_state; }
    /** Case and Unicode normalisation do not matter ("Ä" finds a decomposed "ä"). */
    void setText(const QString &text);
    [[nodiscard]] bool isFiltering() const { return m_state != State::all || !m_folded.isEmpty(); }
    /** Source rows the filter hides. */
    [[nodiscard]] int hiddenCount() const;

protected:
    [[nodiscard]] bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    State m_state = State::all;
    QString m_folded; ///< the text, NFC and case-folded
};
