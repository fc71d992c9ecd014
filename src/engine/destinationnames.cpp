#include "engine/destinationnames.h"

#include "common/filenames.h"
#include "common/stringtable.h"
#include "common/unicodetext.h"
#include "engine/filemoves.h"

#include <QFileInfo>
#include <QUuid>

#include <climits>

namespace {

/**
 * `base` + `tail`, the base cut back by whole characters until the name fits the file system's
 * NAME_MAX bytes: a name counted in characters can need four times as many bytes, or more.
 */
QString fitted(const QString &base, const QString &tail)
{
    QString cut = base;
    while (!cut.isEmpty() && (cut + tail).toUtf8().size() > NAME_MAX)
        cut = UnicodeText::leftGraphemes(cut, UnicodeText::graphemeCount(cut) - 1);
    return cut + tail;
}

} // namespace

namespace DestinationNames {

bool isValid(const QString &name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') && !name.contains(QChar(0));
}

std::optional<QString> refusal(const QString &name)
{
    if (isValid(name))
        return std::nullopt;
    if (name.contains(u'/'))
        return StringTable::text("edit.slash");
    if (name.trimmed().isEmpty())
        return StringTable::text("edit.empty");
    return StringTable::text("apply.invalidName").arg(name);
}

QString free(const QString &path, const std::function<bool(const QString &)> &taken)
{
    const QFileInfo info(path);
    const QString folder = info.path() + u'/';
    const QString name = info.fileName();
    const QString extension = FileNames::extension(name);
    const QString base = FileNames::baseName(name);
    const QString whole = folder + fitted(base, name.mid(base.size()));
    if (!taken(whole))
        return whole;
    for (int n = 2; n < 100; ++n) {
        const QString candidate = folder + fitted(base, u'-' + QString::number(n) + u'.' + extension);
        if (!taken(candidate))
            return candidate;
    }
    const QString random = QUuid::createUuid().toString(QUuid::WithoutBraces).left(6).toUpper();
    return folder + fitted(base, u'-' + random + u'.' + extension);
}

QString unique(const QString &path)
{
    return free(path, [](const QString &candidate) { return FileMoves::nameTaken(candidate); });
}

} // namespace DestinationNames
