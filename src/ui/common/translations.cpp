#include "ui/common/translations.h"

#include "ui/uilog.h"

#include <QCoreApplication>
#include <QTranslator>

void installTranslations(QCoreApplication &app)
{
    auto *translator = new QTranslator(&app);
    if (translator->load(QStringLiteral(":/i18n/namorix_de.qm")))
        QCoreApplication::installTranslator(translator);
    else
        qCWarning(lcUI, "embedded string tables missing");
}
