#pragma once

class QCoreApplication;

/** Installs the embedded German string tables; every qtTrId after this finds its text. */
void installTranslations(QCoreApplication &app);
