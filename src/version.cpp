#include "version.h"

#ifndef ZELKOR_VERSION
#error "ZELKOR_VERSION must name the program's version"
#endif

const char* programVersion() { return ZELKOR_VERSION; }
