#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class RenameRules;

/**
 * The tab "Regeln": edits the shared rename rules in five sections (name format with its token
 * buttons and the live preview, categories, post-processing, prefix and suffix, find/replace
 * rules). Every control writes straight into the rules, which store themselves; the controls
 * follow the rules when something else (the REST API) changes them.
 */
class RulesTab final : public QWidget
{
    Q_OBJECT

public:
    explicit RulesTab(RenameRules &rules, QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(RulesTab)

    /** "Vorschau: " and the name built from the fixed sample under the current rules. */
    [[nodiscard]] QString previewText() const;

private:
    QWidget *makeFormatSection();
    QWidget *makeTokenGroup(QStringView symbol, const QString &title,
                            std::initializer_list<std::pair<const char16_t *, const char *>> tokens);
    QWidget *makePostProcessingSection();
    QWidget *makePrefixSuffixSection();
    void showPreview();

    RenameRules &m_rules;
    QLabel *m_preview = nullptr;
};
