#pragma once

#include "store/storeerror.h"

#include <QWidget>

#include <expected>
#include <functional>

class ObjectStore;
class QLabel;
class QPushButton;

/**
 * Something the store keeps that the user may empty, on the AI tab: how many entries it holds
 * (counted again whenever the section is shown) and a button that empties it and says how many
 * went. The reply cache ("Zwischenspeicher leeren") and what the namer learned ("Gelerntes
 * vergessen") are two of these.
 */
class StoredCountSection final : public QWidget
{
    Q_OBJECT

public:
    using Counting = std::function<std::expected<qsizetype, StoreError>()>;
    /** String table ids: the button, the count and the emptied count (plural forms), the failure ("%1": why). */
    struct Texts {
        const char *button;
        const char *count;
        const char *cleared;
        const char *failed;
    };

    StoredCountSection(Texts texts, Counting count, Counting clear, QWidget *parent = nullptr);

    /** The reply cache's section. */
    [[nodiscard]] static StoredCountSection *replyCache(ObjectStore &store);
    /** The learned senders' section. */
    [[nodiscard]] static StoredCountSection *learnedSenders(ObjectStore &store);

    [[nodiscard]] QLabel *summary() const { return m_summary; }
    [[nodiscard]] QPushButton *clearButton() const { return m_clear; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showCount();
    void clear();

    Texts m_texts;
    Counting m_count;
    Counting m_clearStore;
    QLabel *m_summary;
    QPushButton *m_clear;
};
