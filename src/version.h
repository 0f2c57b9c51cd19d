// The program's version, as --version prints it and results sidecars record it.
#pragma once

const char* programVersion();
