#pragma once

#include "store/repository.h"
#include "store/watchedfolder.h"

/** The watched folders, oldest `addedAt` first; how they are kept is in the .cpp. */
using FolderRepository = Repository<WatchedFolder>;
extern template class Repository<WatchedFolder>;
