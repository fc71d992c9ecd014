#pragma once

#include <QString>

/** Why the object store could not do what it was asked; the message is German and shown to the user. */
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
    QString message;
};
