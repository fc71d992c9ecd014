#include "common/stringtable.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QTranslator>

#include <mutex>

namespace {
Q_LOGGING_CATEGORY(lcStrings, "namorix.strings")
} // namespace

namespace StringTable {

void install()
{
    static std::once_flag once;
    std::call_once(once, [] {
        QCoreApplication *app = QCoreApplication::instance();
        auto *translator = new QTranslator(app);
        if (translator->load(QStringLiteral(":/i18n/namorix_de.qm")))
            QCoreApplication::installTranslator(translator);
        else
            qCWarning(lcStrings, "embedded string tables missing");
        // Qt's own texts in German too: dialogs, the file picker and text-field menus say
        // "Abbrechen" and "Rückgängig" like the rest of the app.
        auto *qtTexts = new QTranslator(app);
        if (qtTexts->load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(qtTexts);
        else
            qCInfo(lcStrings, "Qt's German texts are not installed (Debian: qt6-translations-l10n)");
    });
}

QString text(const char *id, int count)
{
    install();
    return qtTrId(id, count);
}

} // namespace StringTable
