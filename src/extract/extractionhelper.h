#pragma once

#include <QString>

class FileProcessor;

/**
 * The extraction helper's life: started by the app with one end of a socket pair as descriptor
 * 3, it limits and locks itself in, then answers one request after another (a file's
 * descriptor in, its FileContext or error out) until the app closes the socket.
 */
namespace ExtractionHelper {

using ProcessorLookup = const FileProcessor &(*)(const QString &path);

/** Runs the helper with `processorFor` as its dispatch table; returns the exit code. */
int run(int argc, char *argv[], ProcessorLookup processorFor);

} // namespace ExtractionHelper
