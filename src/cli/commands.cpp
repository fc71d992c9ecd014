#include "cli/commands.h"

#include "cli/backend.h"
#include "cli/terminal.h"
#include "common/stringtable.h"
#include "engine/renamejob.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>

#include <unistd.h>

#include <chrono>

namespace {

QString text(const char *id, int count = -1)
{
    return StringTable::text(id, count);
}

/** The strings of a JSON array. */
QStringList strings(const QJsonValue &array)
{
    QStringList values;
    for (const QJsonValue &value : array.toArray())
        values << value.toString();
    return values;
}

QString percent(const QJsonObject &suggestion)
{
    return RenameJob::confidenceText(suggestion.value(QStringLiteral("confidence")).toDouble());
}

// A run is asked where it stands soon after it starts (a few files are done at once), then less often.
constexpr std::chrono::milliseconds FirstLook{50};
constexpr std::chrono::milliseconds LookInterval{400};

/** An ISO date of the API in local time, as the history view shows it. */
QString localTime(const QString &iso)
{
    const QDateTime moment = QDateTime::fromString(iso, Qt::ISODate);
    return moment.isValid() ? moment.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm")) : iso;
}

} // namespace

Commands::Commands() = default;
Commands::~Commands() = default;

void Commands::interrupt()
{
    if (m_interrupted)
        return;
    m_interrupted = true;
    Q_EMIT interruptReceived();
}

int Commands::run(const QStringList &arguments)
{
    const QString command = arguments.value(1);
    const QStringList rest = arguments.mid(1);
    if (command == u"suggest" || command == u"rename")
        return suggestOrRename(rest, command == u"rename");
    if (command == u"undo")
        return undo(rest);
    if (command == u"history")
        return history(rest);
    if (command == u"status")
        return status(rest);
    if (command == u"--help" || command == u"-h" || command == u"help") {
        Terminal::write(stdout, text("terminal.usage"));
        return done;
    }
    if (command == u"--version") {
        Terminal::write(stdout, QStringLiteral("namorix-cli ") + QCoreApplication::applicationVersion() + u'\n');
        return done;
    }
    Terminal::write(stderr, (command.isEmpty() ? QString() : text("terminal.unknownCommand").arg(command) + u'\n') +
                                text("terminal.usage"));
    return usage;
}

std::optional<int> Commands::parse(QCommandLineParser &parser, const QStringList &arguments, const QString &command)
{
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, text("terminal.option.help"));
    const QCommandLineOption json(QStringLiteral("json"), text("terminal.option.json"));
    parser.addOption(help);
    parser.addOption(json);
    parser.setApplicationDescription(text(qPrintable(QStringLiteral("terminal.about.") + command)));
    if (!parser.parse(arguments)) {
        Terminal::write(stderr, parser.errorText() + u'\n' + text("terminal.seeHelp").arg(command) + u'\n');
        return usage;
    }
    if (parser.isSet(help)) {
        // "Aufruf:" names the program as it was called; the subcommand goes with it.
        QString usageText = parser.helpText();
        const QString program = QCoreApplication::arguments().constFirst();
        if (const qsizetype at = usageText.indexOf(program); at >= 0)
            usageText.replace(at, program.size(), QStringLiteral("namorix-cli ") + command);
        Terminal::write(stdout, usageText);
        return done;
    }
    m_json = parser.isSet(json);
    return std::nullopt;
}

bool Commands::connectBackend()
{
    QString problem;
    m_backend = Backend::connect(problem);
    if (!m_backend) {
        Terminal::write(stderr, problem + u'\n');
        return false;
    }
    return true;
}

BackendReply Commands::followRun(const QJsonObject &request)
{
    BackendReply run = m_backend->call(QStringLiteral("POST"), QStringLiteral("/v1/runs"), request);
    if (run.status != 202)
        return run;
    const QString handle = QStringLiteral("/v1/runs/") + run.json.value(QStringLiteral("run")).toString();
    std::chrono::milliseconds pause = FirstLook;
    while (run.ok() || run.status == 202) {
        QEventLoop loop;
        QObject::connect(this, &Commands::interruptReceived, &loop, &QEventLoop::quit);
        QTimer::singleShot(pause, &loop, &QEventLoop::quit);
        if (!m_interrupted)
            loop.exec();
        pause = LookInterval;
        if (m_interrupted) {
            // Its run alone ends, also in the app: nothing more is sent, nothing joins the review.
            (void)m_backend->call(QStringLiteral("DELETE"), handle);
            return {};
        }
        run = m_backend->call(QStringLiteral("GET"), handle);
        const QJsonObject progress = run.json.value(QStringLiteral("progress")).toObject();
        const QString state = run.json.value(QStringLiteral("state")).toString();
        if (state == u"done")
            break;
        if (Terminal::isTerminal(stderr) && state == u"running")
            Terminal::showProgress(text("terminal.progress")
                                       .arg(progress.value(QStringLiteral("processed")).toInt())
                                       .arg(progress.value(QStringLiteral("total")).toInt()));
    }
    return run;
}

void Commands::fail(const QString &file, const QString &reason)
{
    Terminal::write(stderr, file + QStringLiteral(": ") + reason + u'\n');
}

void Commands::printJson(const QJsonObject &object)
{
    Terminal::write(stdout, QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented)));
}

std::optional<QString> Commands::templatePattern(const QString &name)
{
    const BackendReply reply = m_backend->call(QStringLiteral("GET"), QStringLiteral("/v1/templates"));
    QStringList names;
    for (const QJsonValue &entry : reply.json.value(QStringLiteral("templates")).toArray()) {
        if (entry[QStringLiteral("name")].toString() == name)
            return entry[QStringLiteral("pattern")].toString();
        names << entry[QStringLiteral("name")].toString();
    }
    Terminal::write(stderr, text("terminal.unknownTemplate").arg(name, names.join(QStringLiteral(", "))) + u'\n');
    return std::nullopt;
}

std::optional<QString> Commands::readAnswer()
{
    QByteArray line;
    bool ended = false;
    QEventLoop loop;
    QSocketNotifier notifier(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &loop, [&] {
        char byte = 0;
        if (::read(STDIN_FILENO, &byte, 1) != 1) {
            ended = true;
            loop.quit();
        } else if (byte == '\n') {
            loop.quit();
        } else {
            line += byte;
        }
    });
    QObject::connect(this, &Commands::interruptReceived, &loop, &QEventLoop::quit);
    if (!m_interrupted)
        loop.exec();
    if (m_interrupted || (ended && line.isEmpty()))
        return std::nullopt;
    return QString::fromUtf8(line).trimmed();
}

int Commands::suggestOrRename(const QStringList &arguments, bool rename)
{
    QCommandLineParser parser;
    const QCommandLineOption dryRun(QStringLiteral("dry-run"), text("terminal.option.dryRun"));
    const QCommandLineOption nameTemplate(QStringLiteral("template"), text("terminal.option.template"),
                                          QStringLiteral("NAME"));
    const QCommandLineOption yes({QStringLiteral("y"), QStringLiteral("yes")}, text("terminal.option.yes"));
    parser.addOption(nameTemplate);
    if (rename) {
        parser.addOption(dryRun);
        parser.addOption(yes);
    }
    parser.addPositionalArgument(QStringLiteral("DATEI"), text("terminal.option.files"), QStringLiteral("DATEI…"));
    const QString command = rename ? QStringLiteral("rename") : QStringLiteral("suggest");
    if (const std::optional<int> exit = parse(parser, arguments, command))
        return *exit;
    if (parser.positionalArguments().isEmpty()) {
        Terminal::write(stderr, text("terminal.noFiles") + u'\n' + text("terminal.seeHelp").arg(command) + u'\n');
        return usage;
    }
    const bool confirmed = rename && parser.isSet(yes);
    const bool onlyShow = !rename || parser.isSet(dryRun);

    // A path that is not there is named, the others go on.
    bool failed = false;
    QJsonArray paths;
    for (const QString &given : parser.positionalArguments()) {
        const QFileInfo file(given);
        if (!file.exists()) {
            fail(given, text("terminal.missingFile"));
            failed = true;
            continue;
        }
        paths.append(QDir::cleanPath(file.absoluteFilePath()));
    }
    if (paths.isEmpty())
        return someFailed;
    if (!connectBackend())
        return someFailed;
    QJsonObject request{{QStringLiteral("paths"), paths}};
    if (parser.isSet(nameTemplate)) {
        const std::optional<QString> pattern = templatePattern(parser.value(nameTemplate));
        if (!pattern)
            return usage;
        request.insert(QStringLiteral("template"), *pattern);
    }

    if (m_interrupted) {
        Terminal::write(stderr, text("terminal.cancelled") + u'\n');
        return interrupted;
    }
    if (Terminal::isTerminal(stderr))
        Terminal::showProgress(text("terminal.analysing", int(paths.size())));
    BackendReply suggested = followRun(request);
    if (m_interrupted) {
        Terminal::write(stderr, text("terminal.cancelled") + u'\n');
        return interrupted;
    }
    if (!suggested.ok()) {
        Terminal::write(stderr, suggested.error() + u'\n');
        return someFailed;
    }
    QJsonArray suggestions = suggested.json.value(QStringLiteral("suggestions")).toArray();
    // --yes is the user's tick for what the analysis left unticked (unchecked fields); the core
    // then says which of them applying renames.
    if (confirmed && !onlyShow) {
        for (QJsonValueRef value : suggestions) {
            QJsonObject suggestion = value.toObject();
            if (suggestion.value(QStringLiteral("approved")).toBool() || suggestion.contains(QStringLiteral("error")))
                continue;
            const BackendReply ticked =
                m_backend->call(QStringLiteral("PUT"), QStringLiteral("/v1/jobs/") + suggestion[u"id"].toString(),
                                {{QStringLiteral("approved"), true}});
            if (!ticked.ok()) {
                Terminal::write(stderr, ticked.error() + u'\n');
                return someFailed;
            }
            suggestion.insert(QStringLiteral("renamable"), ticked.json.value(QStringLiteral("renamable")));
            value = suggestion;
        }
    }

    // What would be renamed; failed analyses and unchecked fields are named instead.
    const bool colour = !m_json && Terminal::hasColour(stdout);
    QList<QStringList> rows{{text("terminal.column.file"), text("terminal.column.newName"),
                             text("terminal.column.confidence"), text("terminal.column.note")}};
    QJsonArray ids;
    for (const QJsonValue &value : std::as_const(suggestions)) {
        const QJsonObject suggestion = value.toObject();
        const QString original = suggestion.value(QStringLiteral("original")).toString();
        const QString name = suggestion.value(QStringLiteral("suggested")).toString();
        const QStringList unverified = strings(suggestion.value(QStringLiteral("unverified")));
        QString note =
            unverified.isEmpty() ? QString() : text("terminal.unverified").arg(unverified.join(QStringLiteral(", ")));
        if (suggestion.contains(QStringLiteral("error"))) {
            const QString reason = suggestion.value(QStringLiteral("error")).toString();
            fail(original, reason);
            failed = true;
            rows.append({original, QStringLiteral("–"), QString(), reason});
            continue;
        }
        if (suggestion.value(QStringLiteral("renamable")).toBool()) {
            ids.append(suggestion.value(QStringLiteral("id")));
        } else if (suggestion.value(QStringLiteral("approved")).toBool()) {
            rows.append({original, Terminal::dim(name, colour), percent(suggestion), text("terminal.unchanged")});
            continue;
        } else if (rename && !onlyShow) {
            // Left unticked by the analysis, and not ticked with --yes.
            fail(original, text("terminal.needsReview").arg(unverified.join(QStringLiteral(", "))));
            failed = true;
            note = text("terminal.skipped");
        }
        const Terminal::MarkedNames marked =
            colour ? Terminal::markedNames(original, name) : Terminal::MarkedNames{original, name};
        rows.append({marked.oldName, marked.newName, percent(suggestion), note});
    }
    if (onlyShow) {
        if (m_json) // the shape of a suggest's reply
            printJson({{QStringLiteral("suggestions"), suggestions}});
        else
            Terminal::write(stdout, Terminal::table(rows, colour));
        if (rename)
            Terminal::write(stderr, text("terminal.dryRun") + u'\n');
        return failed ? someFailed : done;
    }
    if (!m_json)
        Terminal::write(stdout, Terminal::table(rows, colour));
    if (ids.isEmpty()) {
        if (m_json) // the shape of an apply's reply
            printJson({{QStringLiteral("renamed"), QJsonArray()}, {QStringLiteral("count"), 0}});
        Terminal::write(stderr, text("terminal.nothingToRename") + u'\n');
        return failed ? someFailed : done;
    }
    if (!confirmed) {
        Terminal::write(stderr, text("terminal.confirm", int(ids.size())));
        const std::optional<QString> answer = readAnswer();
        if (m_interrupted) {
            Terminal::write(stderr, u'\n' + text("terminal.cancelled") + u'\n');
            return interrupted;
        }
        const QString word = answer.value_or(QString()).toLower();
        if (!QStringList{QStringLiteral("j"), QStringLiteral("ja"), QStringLiteral("y"), QStringLiteral("yes")}
                 .contains(word)) {
            Terminal::write(stderr, text("terminal.declined") + u'\n');
            return someFailed;
        }
    }

    // Not cancellable: a batch that has begun ends whole, and can be undone whole.
    const BackendReply applied =
        m_backend->call(QStringLiteral("POST"), QStringLiteral("/v1/jobs/apply"), {{QStringLiteral("ids"), ids}});
    if (!applied.ok()) {
        Terminal::write(stderr, applied.error() + u'\n');
        return someFailed;
    }
    for (const QJsonValue &failure : applied.json.value(QStringLiteral("failures")).toArray()) {
        fail(failure[QStringLiteral("original")].toString(), failure[QStringLiteral("error")].toString());
        failed = true;
    }
    if (m_json) {
        printJson(applied.json);
    } else {
        const int count = applied.json.value(QStringLiteral("count")).toInt();
        QString summary = text("terminal.renamed", count);
        if (count > 0)
            summary += u' ' + text("terminal.undoHint").arg(applied.json.value(QStringLiteral("batch")).toInteger());
        Terminal::write(stdout, summary + u'\n');
    }
    if (m_interrupted)
        return interrupted;
    return failed ? someFailed : done;
}

int Commands::undo(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption last(QStringLiteral("last"), text("terminal.option.last"));
    const QCommandLineOption batch(QStringLiteral("batch"), text("terminal.option.batch"), QStringLiteral("ID"));
    parser.addOption(last);
    parser.addOption(batch);
    parser.addPositionalArgument(QStringLiteral("PFAD"), text("terminal.option.path"), QStringLiteral("[PFAD]"));
    if (const std::optional<int> exit = parse(parser, arguments, QStringLiteral("undo")))
        return *exit;
    const QStringList paths = parser.positionalArguments();
    bool batchIsNumber = false;
    const qint64 batchId = parser.value(batch).toLongLong(&batchIsNumber);
    const int chosen = int(parser.isSet(last)) + int(parser.isSet(batch)) + int(paths.size());
    if (chosen != 1 || (parser.isSet(batch) && !batchIsNumber)) {
        Terminal::write(stderr, text("terminal.undoChoice") + u'\n' +
                                    text("terminal.seeHelp").arg(QStringLiteral("undo")) + u'\n');
        return usage;
    }
    if (!connectBackend())
        return someFailed;

    QJsonObject request;
    if (parser.isSet(last))
        request.insert(QStringLiteral("last"), true); // the newest apply with a rename left to undo
    else if (parser.isSet(batch))
        request.insert(QStringLiteral("batch"), batchId);
    else
        request.insert(QStringLiteral("id"), QDir::cleanPath(QFileInfo(paths.first()).absoluteFilePath()));
    const BackendReply reply = m_backend->call(QStringLiteral("POST"), QStringLiteral("/v1/revert"), request);
    if (reply.status == 404 && request.contains(QStringLiteral("last"))) {
        Terminal::write(stderr, text("terminal.nothingToUndo") + u'\n');
        return someFailed;
    }
    if (reply.status == 404 || !reply.json.contains(QStringLiteral("ok"))) {
        const QString subject = request.contains(QStringLiteral("id"))
                                    ? request.value(QStringLiteral("id")).toString()
                                    : text("terminal.batch").arg(request.value(QStringLiteral("batch")).toInteger());
        fail(subject, reply.status == 404 ? text("terminal.notInHistory") : reply.error());
        return someFailed;
    }
    bool failed = false;
    for (const QJsonValue &failure : reply.json.value(QStringLiteral("failures")).toArray()) {
        fail(failure[QStringLiteral("path")].toString(), failure[QStringLiteral("error")].toString());
        failed = true;
    }
    if (m_json)
        printJson(reply.json);
    else if (reply.json.contains(QStringLiteral("reverted")))
        Terminal::write(
            stdout, text("terminal.revertedOne").arg(reply.json.value(QStringLiteral("reverted")).toString()) + u'\n');
    else
        Terminal::write(stdout, text("terminal.reverted", reply.json.value(QStringLiteral("count")).toInt()) + u'\n');
    return failed ? someFailed : done;
}

int Commands::history(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption search(QStringLiteral("search"), text("terminal.option.search"), QStringLiteral("TEXT"));
    const QCommandLineOption limit(QStringLiteral("limit"), text("terminal.option.limit"), QStringLiteral("N"),
                                   QStringLiteral("20"));
    parser.addOption(search);
    parser.addOption(limit);
    if (const std::optional<int> exit = parse(parser, arguments, QStringLiteral("history")))
        return *exit;
    bool isNumber = false;
    const int count = parser.value(limit).toInt(&isNumber);
    if (!isNumber || count < 0 || !parser.positionalArguments().isEmpty()) {
        Terminal::write(stderr, text("terminal.badLimit") + u'\n' +
                                    text("terminal.seeHelp").arg(QStringLiteral("history")) + u'\n');
        return usage;
    }
    if (!connectBackend())
        return someFailed;
    QString path = QStringLiteral("/v1/history?limit=") + QString::number(count);
    if (parser.isSet(search))
        path += QStringLiteral("&search=") + QString::fromLatin1(QUrl::toPercentEncoding(parser.value(search)));
    const BackendReply reply = m_backend->call(QStringLiteral("GET"), path);
    if (!reply.ok()) {
        Terminal::write(stderr, reply.error() + u'\n');
        return someFailed;
    }
    if (m_json) {
        printJson(reply.json);
        return done;
    }
    const bool colour = Terminal::hasColour(stdout);
    QList<QStringList> rows{{text("terminal.column.date"), text("terminal.column.batch"),
                             text("terminal.column.before"), text("terminal.column.after"), QString()}};
    for (const QJsonValue &entry : reply.json.value(QStringLiteral("history")).toArray()) {
        const QString before = entry[QStringLiteral("original")].toString();
        const QString after = entry[QStringLiteral("new")].toString();
        const Terminal::MarkedNames marked =
            colour ? Terminal::markedNames(before, after) : Terminal::MarkedNames{before, after};
        rows.append({localTime(entry[QStringLiteral("date")].toString()),
                     QString::number(entry[QStringLiteral("batch")].toInteger()), marked.oldName, marked.newName,
                     entry[QStringLiteral("reverted")].toBool() ? text("terminal.wasReverted") : QString()});
    }
    if (rows.size() == 1)
        Terminal::write(stderr, text("terminal.historyEmpty") + u'\n');
    else
        Terminal::write(stdout, Terminal::table(rows, colour));
    return done;
}

int Commands::status(const QStringList &arguments)
{
    QCommandLineParser parser;
    if (const std::optional<int> exit = parse(parser, arguments, QStringLiteral("status")))
        return *exit;
    if (!parser.positionalArguments().isEmpty()) {
        Terminal::write(stderr, text("terminal.seeHelp").arg(QStringLiteral("status")) + u'\n');
        return usage;
    }
    if (!connectBackend())
        return someFailed;
    const BackendReply settings = m_backend->call(QStringLiteral("GET"), QStringLiteral("/v1/settings"));
    const BackendReply queue = m_backend->call(QStringLiteral("GET"), QStringLiteral("/v1/queue"));
    if (!settings.ok()) {
        Terminal::write(stderr, settings.error() + u'\n');
        return someFailed;
    }
    QJsonObject state{{QStringLiteral("app"), QJsonObject{{QStringLiteral("running"), m_backend->isApp()},
                                                          {QStringLiteral("via"), m_backend->description()}}},
                      {QStringLiteral("settings"), settings.json}};
    if (queue.ok())
        state.insert(QStringLiteral("queue"), queue.json);
    if (m_json) {
        printJson(state);
        return done;
    }
    const QJsonObject ai = settings.json.value(QStringLiteral("ai")).toObject();
    QList<QStringList> rows{
        {QStringLiteral("Namorix"),
         (m_backend->isApp() ? text("terminal.appRunning") : text("terminal.appNotRunning")) + QStringLiteral(" (") +
             m_backend->description() + u')'},
        {text("terminal.provider"),
         text(ai.value(QStringLiteral("configured")).toBool() ? "terminal.providerReady" : "terminal.providerMissing")
             .arg(ai.value(QStringLiteral("provider")).toString(), ai.value(QStringLiteral("model")).toString())}};
    if (queue.ok()) {
        QString line = text("terminal.queued", queue.json.value(QStringLiteral("count")).toInt());
        if (queue.json.value(QStringLiteral("isPaused")).toBool())
            line += QStringLiteral(", ") + text("terminal.paused");
        rows.append({text("terminal.queue"), line});
    }
    Terminal::write(stdout, Terminal::table(rows, false)); // no header: the first row is the app's state
    return done;
}
