#pragma once

#include <QWidget>

class ObjectStore;
class QLabel;
class QPushButton;

/**
 * The reply cache on the AI tab: how many replies it holds (counted again whenever the section is
 * shown) and "Zwischenspeicher leeren", which empties it and says how many replies went.
 */
class ResultCacheSection final : public QWidget
{
    Q_OBJECT

public:
    explicit ResultCacheSection(ObjectStore &store, QWidget *parent = nullptr);

    [[nodiscard]] QLabel *summary() const { return m_summary; }
    [[nodiscard]] QPushButton *clearButton() const { return m_clear; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showCount();
    void clear();

    ObjectStore &m_store;
    QLabel *m_summary;
    QPushButton *m_clear;
};
