#include "storeerror.h"

#include "common/stringtable.h"

QString StoreError::message() const
{
    switch (code) {
    case Code::cannotOpen:
        return StringTable::text("store.cannotOpen").arg(path, detail);
    case Code::corrupt:
        return StringTable::text("store.corrupt").arg(path, detail);
    case Code::newerSchema:
        return StringTable::text("store.newerSchema").arg(path, detail);
    case Code::notFound:
        return StringTable::text("store.notFound").arg(detail);
    case Code::invalid: // the rule's own words, already German
        return detail;
    case Code::failed:
        break;
    }
    return StringTable::text("store.failed").arg(path, detail);
}
