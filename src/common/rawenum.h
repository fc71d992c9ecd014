#pragma once

#include <QAnyStringView>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <string_view>
#include <utility>

/**
 * Enums whose cases carry a string raw value (stored in settings, exchanged over the REST API).
 *
 * An enum opts in by specialising RawEnumTraits with a `cases` array of {case, raw value} pairs
 * in declaration order; that one table then drives conversion both ways and the list of cases.
 */
template <typename E> struct RawEnumTraits;

template <typename E> [[nodiscard]] QString rawValue(E value)
{
    for (const auto &[c, raw] : RawEnumTraits<E>::cases) {
        if (c == value)
            return QString::fromUtf8(raw.data(), qsizetype(raw.size()));
    }
    return {};
}

/** Exact, case-sensitive match against the raw values; anything else has no case. */
template <typename E> [[nodiscard]] std::optional<E> enumFromRaw(QStringView text)
{
    for (const auto &[c, raw] : RawEnumTraits<E>::cases) {
        if (QAnyStringView::equal(text, QUtf8StringView(raw.data(), qsizetype(raw.size()))))
            return c;
    }
    return std::nullopt;
}

template <typename E> [[nodiscard]] constexpr auto allCases()
{
    constexpr auto &table = RawEnumTraits<E>::cases;
    std::array<E, table.size()> result{};
    for (std::size_t i = 0; i < table.size(); ++i)
        result[i] = table[i].first;
    return result;
}

template <typename E> [[nodiscard]] QStringList allRawValues()
{
    QStringList result;
    for (E c : allCases<E>())
        result << rawValue(c);
    return result;
}

template <typename E, std::size_t N> using RawEnumTable = std::array<std::pair<E, std::string_view>, N>;
