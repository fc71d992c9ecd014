#include "common/stringtable.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QPointer>
#include <QTranslator>

#include <cstdlib>
#include <mutex>

namespace {
Q_LOGGING_CATEGORY(lcStrings, "namorix.strings")
} // namespace

namespace StringTable {

void install()
{
    // Once per application object: the command line is parsed by one made before the window's.
    static std::mutex guard;
    static QPointer<QCoreApplication> installedIn;
    const std::lock_guard lock(guard);
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || installedIn == app)
        return;
    installedIn = app;
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
}

QString text(const char *id, int count)
{
    install();
    QString words = qtTrId(id, count);
    // "%n" is filled in without digit grouping; the window speaks German on any system locale,
    // so a history of "100.000 Einträge" reads as it would in any German program.
    if (std::abs(count) >= 1000)
        words.replace(QString::number(count), QLocale(QLocale::German).toString(count));
    return words;
}

} // namespace StringTable
