// The change log of one write transaction, written before its COMMIT.

#include "data/ChangeLogWriter.h"
