// Fakes of the platform layer for tests.
#include "platform/AppFolder.h"
