#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;
class QVBoxLayout;
class RenameRules;

/**
 * The categories offered to the model: one row per entry with a remove button, and an add row
 * that trims, lower-cases and refuses empty or already listed entries (keeping the typed text).
 */
class CategoryEditor final : public QWidget
{
    Q_OBJECT

public:
    explicit CategoryEditor(RenameRules &rules, QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(CategoryEditor)

    void addCategory();

private:
    void showCategories();

    RenameRules &m_rules;
    QVBoxLayout *m_rows;
    QLineEdit *m_newCategory;
    QPushButton *m_add;
};
