// Prints the OpenAPI document as served on the given port, for the standalone validator.
#include "api/openapidocument.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    const quint16 port = argc > 1 ? quint16(std::atoi(argv[1])) : 43821;
    const QByteArray document = openAPIDocument(port);
    std::fwrite(document.constData(), 1, size_t(document.size()), stdout);
    return document.isEmpty() ? 1 : 0;
}
