#include "settings/settings.h"

SaverSettings Settings;
