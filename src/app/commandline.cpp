#include "commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>

namespace {

/** "scheme:" at the start of an argument, so that paths and URLs can be told apart. */
bool hasScheme(const QString &argument)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
    return scheme.match(argument).hasMatch() && !QFileInfo::exists(argument);
}

} // namespace

LaunchArguments CommandLine::parse(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(qtTrId("cli.description"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption hidden(QStringLiteral("hidden"), qtTrId("cli.hidden"));
    parser.addOption(hidden);
    const QCommandLineOption log(QStringLiteral("log"), qtTrId("cli.log"));
    parser.addOption(log);
    parser.addPositionalArgument(qtTrId("cli.inputs.name"), qtTrId("cli.inputs"), qtTrId("cli.inputs.syntax"));
    parser.process(app);
    // At once, before anything logs; QT_LOGGING_RULES still overrides it.
    if (parser.isSet(log))
        QLoggingCategory::setFilterRules(QStringLiteral("namorix.*.debug=true"));
    return LaunchArguments{parser.positionalArguments(), QDir::currentPath(), parser.isSet(hidden),
                           qEnvironmentVariable(ActivationTokenVariable)};
}

std::optional<QList<QUrl>> CommandLine::renameUrlFiles(const QString &url)
{
    // Compared on the text as given: QUrl would lower-case scheme and host, which must match exactly.
    static const QString prefix = QStringLiteral("namorix://rename");
    if (!url.startsWith(prefix))
        return std::nullopt;
    const QStringView rest = QStringView(url).mid(prefix.size());
    if (!rest.isEmpty() && !rest.startsWith(u'/') && !rest.startsWith(u'?') && !rest.startsWith(u'#'))
        return std::nullopt; // "namorix://renamed", "namorix://rename:1", …
    const qsizetype queryStart = rest.indexOf(u'?');
    if (queryStart < 0)
        return std::nullopt;
    QStringView query = rest.mid(queryStart + 1);
    query = query.left(query.indexOf(u'#')); // -1 keeps all

    for (const QStringView item : query.split(u'&')) {
        const qsizetype equals = item.indexOf(u'=');
        const QStringView name = equals < 0 ? item : item.left(equals);
        if (QUrl::fromPercentEncoding(name.toUtf8()) != u"paths")
            continue;
        if (equals < 0)
            return std::nullopt; // "paths" without a value
        const QString value = QUrl::fromPercentEncoding(item.mid(equals + 1).toUtf8());
        QList<QUrl> files;
        for (const QString &piece : value.split(u',', Qt::SkipEmptyParts)) {
            if (QDir::isAbsolutePath(piece))
                files.append(QUrl::fromLocalFile(piece));
        }
        return files;
    }
    return std::nullopt;
}

std::optional<QList<QUrl>> CommandLine::analysisInputs(const LaunchArguments &arguments)
{
    QList<QUrl> inputs;
    bool asked = false;
    const QDir base(arguments.workingDirectory);
    for (const QString &argument : arguments.inputs) {
        if (argument.isEmpty())
            continue;
        if (!hasScheme(argument)) {
            inputs.append(QUrl::fromLocalFile(QDir::cleanPath(base.absoluteFilePath(argument))));
            asked = true;
        } else if (const QUrl url(argument); url.isLocalFile()) {
            inputs.append(url);
            asked = true;
        } else if (const std::optional<QList<QUrl>> files = renameUrlFiles(argument)) {
            inputs.append(*files);
            asked = true;
        }
    }
    return asked ? std::optional(inputs) : std::nullopt;
}
