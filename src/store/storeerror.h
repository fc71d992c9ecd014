#pragma once

#include <QString>

/**
 * Why the object store could not do what it was asked. The store gives the code and the technical
 * detail; `message()` words it in German from the string table wherever it is shown.
 */
struct StoreError {
    enum class Code {
        cannotOpen,  // the file or its folder cannot be opened or created
        corrupt,     // not a SQLite database, damaged, or not one of ours
        newerSchema, // written by a newer version; left as it is
        failed,      // a read or write on an open store failed
        notFound,    // no stored object has the given id
        invalid,     // the value breaks a rule of its kind and was not stored (a pattern with "{dat")
    };

    Code code;
    QString path;   ///< the database file; empty for notFound
    QString detail; ///< technical: SQLite's words, or ours in the same manner; the id for notFound

    [[nodiscard]] QString message() const;
};
