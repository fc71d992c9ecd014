#pragma once

#include "extract/previewrenderer.h"

#include <QString>

class FileProcessor;

/**
 * The extraction helper's life: started by the app with one end of a socket pair as descriptor
 * 3, it limits and locks itself in, then answers one request after another (a file's
 * descriptor in, its FileContext or error out; or a page or picture drawn for the preview) until
 * the app closes the socket.
 */
namespace ExtractionHelper {

using ProcessorLookup = const FileProcessor &(*)(const QString &path);
using Renderer = RenderResult (*)(const SourceFile &file, const RenderRequest &request);

/** Runs the helper with `processorFor` as its dispatch table and `render` for previews; returns the exit code. */
int run(int argc, char *argv[], ProcessorLookup processorFor, Renderer render = &PreviewRenderer::render);

} // namespace ExtractionHelper
