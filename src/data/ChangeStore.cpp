// The change log read back, exported and put back.

#include "data/ChangeStore.h"
