// The scratch directory is one of the helpers in test.h.
#pragma once

#include "test.h"
