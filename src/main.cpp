#include "cli.h"
#include "outofmemory.h"

int main(int argc, char** argv) {
    installOutOfMemoryHandler();
    return runProgram(argc, argv);
}
