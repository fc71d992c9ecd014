#include "common/stringtable.h"

#include <QCoreApplication>
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
    });
}

QString text(const char *id, int count)
{
    install();
    return qtTrId(id, count);
}

} // namespace StringTable
