// The 2,000-character invoice excerpt the text benchmarks work on: a head of their own, then
// price lines as a utility bill repeats them.
#pragma once

#include <QString>

inline QString invoiceExcerpt(const QString &head)
{
    const QString line = QStringLiteral("Pos. 3 Arbeitspreis Strom 01.02.2024 – 29.02.2024, 412 kWh à 0,3120 € "
                                        "= 128,54 €; Grundpreis 12,90 €; zzgl. 19 % MwSt.\n");
    QString text = head;
    while (text.size() < 2000)
        text += line;
    return text.left(2000);
}
