#pragma once

#include "common/rawenum.h"

#include <QString>

#include <optional>

/** The fields a language model extracted from one file. Keys of the reply are German. */
struct AIExtraction {
    std::optional<QString> datum;     ///< as the model wrote it; the prompt asks for "YYYY-MM-DD"
    std::optional<QString> kategorie; ///< one of RenameRules::categories
    QString beschreibung;             ///< short description; empty when the reply had none
    std::optional<QString> absender;
    std::optional<QString> betrag; ///< as text, e.g. "49.99"
    double confidence = 0;         ///< nominally 0…1, never clamped

    friend bool operator==(const AIExtraction &, const AIExtraction &) = default;
};

/** Where a field of a name came from; the raw values are what "Warum dieser Name?" and the API show. */
enum class FieldSource { einvoice, text, metadata, learned, model };

template <> struct RawEnumTraits<FieldSource> {
    static constexpr RawEnumTable<FieldSource, 5> cases{{
        {FieldSource::einvoice, "e-rechnung"},
        {FieldSource::text, "text"},
        {FieldSource::metadata, "metadaten"},
        {FieldSource::learned, "gelernt"},
        {FieldSource::model, "modell"},
    }};
};
