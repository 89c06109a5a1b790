// Compiles the layout assertions of record_layout.h into every build of the binary interface.
#include "abi/record_layout.h"
