#pragma once

#include "store/namingtemplate.h"
#include "store/repository.h"

/** The naming templates, oldest `createdAt` first; how they are kept is in the .cpp. */
using TemplateRepository = Repository<NamingTemplate>;
extern template class Repository<NamingTemplate>;
