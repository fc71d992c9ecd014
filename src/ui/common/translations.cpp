#include "ui/common/translations.h"

#include <QCoreApplication>
#include <QTranslator>

void installTranslations(QCoreApplication &app)
{
    auto *translator = new QTranslator(&app);
    if (translator->load(QStringLiteral(":/i18n/namorix_de.qm")))
        QCoreApplication::installTranslator(translator);
    else
        qWarning("Namorix: embedded string tables missing");
}
