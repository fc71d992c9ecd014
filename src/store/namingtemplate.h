#pragma once

#include <QDateTime>
#include <QString>

/** A user-maintained naming pattern, handed to the language model as a hint. */
struct NamingTemplate {
    qint64 id = 0; // the store's row identity; 0 until stored
    QString name;
    QString pattern;
    QString example;
    bool isDefault = false;
    QDateTime createdAt;
};
