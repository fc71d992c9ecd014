#pragma once

#include "store/storeerror.h"

#include <expected>

class StoreConnection;

/**
 * The numbered schema steps of the store file: which files are ours, and how one written by an
 * earlier version is brought up to this one. A file that is not ours, or is newer, is never written.
 */
namespace StoreSchema {

/** The schema version this build writes and the newest it can open. */
inline constexpr int Version = 10;

/** Whether check() reads every page, or trusts a file that is unchanged since a clean close. */
enum class Pages { check, trust };

/** The file's schema version (0: empty) once it has proven to be ours and not newer; only reads. */
[[nodiscard]] std::expected<int, StoreError> check(const StoreConnection &connection, Pages pages = Pages::check);

/** Runs the steps from the `stored` version up to Version in one write transaction. */
[[nodiscard]] std::expected<void, StoreError> upgrade(StoreConnection &connection, int stored);

} // namespace StoreSchema
