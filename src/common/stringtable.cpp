#include "common/stringtable.h"

#include <QCoreApplication>
#include <QTranslator>

#include <mutex>

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
            qWarning("Namorix: embedded string tables missing");
    });
}

QString text(const char *id, int count)
{
    install();
    return qtTrId(id, count);
}

} // namespace StringTable
