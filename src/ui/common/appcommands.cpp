#include "ui/common/appcommands.h"

#include "common/processwide.h"

AppCommands &AppCommands::shared()
{
    return processWide<AppCommands>([] { return new AppCommands; });
}
