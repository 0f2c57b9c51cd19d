#include <cstdio>

#include "console.h"
#include "dialogue.h"

int main() {
    FileInput in(stdin);
    FileOutput out(stdout);
    return runDialogue(in, out);
}
