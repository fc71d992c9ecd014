// namorix-extract: the helper process that reads untrusted files for Namorix (see extractionhelper.h).
#include "extract/extractionhelper.h"
#include "extraction/processortable.h"

int main(int argc, char *argv[])
{
    return ExtractionHelper::run(argc, argv, &ProcessorTable::processorFor);
}
