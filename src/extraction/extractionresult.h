#pragma once

#include "extraction/filecontext.h"

#include <QString>

#include <expected>

/** Why a file's content could not be extracted; the message is German and shown to the user. */
struct ExtractionError {
    QString message;
};

using ExtractionResult = std::expected<FileContext, ExtractionError>;
