#pragma once

#include <QWidget>

class AISettings;
class UsageLedger;
class QDoubleSpinBox;
class QFormLayout;
class QLabel;

/**
 * The AI tab's cost section: the prices of the selected cloud provider's model (per million
 * tokens of the request and of the answer; hidden for a local provider, which costs nothing),
 * the background queue's monthly budget ("keines" at 0) and what this month cost so far.
 */
class CostSection final : public QWidget
{
    Q_OBJECT

public:
    CostSection(const AISettings &settings, UsageLedger &ledger, QWidget *parent = nullptr);

    [[nodiscard]] QDoubleSpinBox *inputPrice() const { return m_input; }
    [[nodiscard]] QDoubleSpinBox *outputPrice() const { return m_output; }
    [[nodiscard]] QDoubleSpinBox *budget() const { return m_budget; }
    /** "Kosten diesen Monat: 1,23 €" */
    [[nodiscard]] QLabel *cost() const { return m_cost; }

private:
    void showPrice();
    void showCost();

    const AISettings &m_settings;
    UsageLedger &m_ledger;
    QFormLayout *m_form;
    QLabel *m_model;
    QDoubleSpinBox *m_input;
    QDoubleSpinBox *m_output;
    QDoubleSpinBox *m_budget;
    QLabel *m_cost;
};
