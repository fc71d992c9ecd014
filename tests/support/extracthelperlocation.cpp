// Test executables do not live beside the app: they start the extraction helper the build made.
#include "extraction/sandbox/extractionsandbox.h"

namespace {

[[maybe_unused]] const bool located =
    (ExtractionSandbox::setSharedHelper(QStringLiteral(NAMORIX_EXTRACT_HELPER)), true);

} // namespace
