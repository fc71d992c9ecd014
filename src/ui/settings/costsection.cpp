#include "ui/settings/costsection.h"

#include "ai/aisettings.h"
#include "ai/providercatalogue.h"
#include "ai/usageledger.h"

#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

QDoubleSpinBox *euroField(const QString &name, double maximum)
{
    auto *field = new QDoubleSpinBox;
    field->setLocale(QLocale(QLocale::German, QLocale::Germany));
    field->setAccessibleName(name);
    field->setDecimals(2);
    field->setRange(0, maximum);
    field->setSingleStep(0.1);
    field->setSuffix(QStringLiteral(" €"));
    return field;
}

/** Shows `value` unless the field already does: an edit in progress keeps its cursor. */
void showValue(QDoubleSpinBox *field, double value)
{
    if (qFuzzyCompare(field->value() + 1, value + 1))
        return;
    const QSignalBlocker quiet(field);
    field->setValue(value);
}

} // namespace

CostSection::CostSection(const AISettings &settings, UsageLedger &ledger, QWidget *parent)
    : QWidget(parent)
    , m_settings(settings)
    , m_ledger(ledger)
    , m_form(nullptr)
    , m_model(new QLabel)
    , m_input(euroField(qtTrId("settings.priceInput"), 10'000))
    , m_output(euroField(qtTrId("settings.priceOutput"), 10'000))
    , m_budget(euroField(qtTrId("settings.monthlyBudget"), 1'000'000))
    , m_cost(new QLabel)
{
    auto *group = new QGroupBox;
    m_form = new QFormLayout(group);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(group);

    m_budget->setSpecialValueText(qtTrId("settings.noBudget"));
    m_budget->setSingleStep(1);
    // Taken when the edit ends: an amount typed on the way (the "2" of "20", a "0") would pause
    // or start the queue.
    m_budget->setKeyboardTracking(false);
    m_cost->setForegroundRole(QPalette::PlaceholderText);
    m_form->addRow(m_model);
    m_form->addRow(qtTrId("settings.priceInput"), m_input);
    m_form->addRow(qtTrId("settings.priceOutput"), m_output);
    m_form->addRow(qtTrId("settings.monthlyBudget"), m_budget);
    m_form->addRow(m_cost);

    connect(m_input, &QDoubleSpinBox::valueChanged, this, [this](double value) {
        m_ledger.setPrice({value, m_ledger.price().output});
    });
    connect(m_output, &QDoubleSpinBox::valueChanged, this, [this](double value) {
        m_ledger.setPrice({m_ledger.price().input, value});
    });
    connect(m_budget, &QDoubleSpinBox::valueChanged, &m_ledger, &UsageLedger::setMonthlyBudget);
    connect(&m_ledger, &UsageLedger::priceChanged, this, &CostSection::showPrice);
    connect(&m_ledger, &UsageLedger::usageChanged, this, &CostSection::showCost);
    connect(&m_ledger, &UsageLedger::monthlyBudgetChanged, this,
            [this] { showValue(m_budget, m_ledger.monthlyBudget()); });
    showValue(m_budget, m_ledger.monthlyBudget());
    showPrice();
}

void CostSection::showPrice()
{
    const bool paid = ProviderCatalogue::facts(m_settings.provider()).paidCloud;
    m_form->setRowVisible(m_model, paid);
    m_form->setRowVisible(m_input, paid);
    m_form->setRowVisible(m_output, paid);
    m_model->setText(qtTrId("settings.pricesOf").arg(m_settings.effectiveModel()));
    showValue(m_input, m_ledger.price().input);
    showValue(m_output, m_ledger.price().output);
    showCost(); // the month's cost is priced anew
}

void CostSection::showCost()
{
    m_cost->setText(qtTrId("settings.costThisMonth").arg(PriceTable::euros(m_ledger.costThisMonth())));
}
