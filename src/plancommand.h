// `zelkor plan` on the command line: the shortest phase length that reaches
// a target rejection rate (plan.h).
#pragma once

#include "command.h"

// Adds the `plan` command with its options to the program; running it
// becomes invocation.command.
void addPlanCommand(CLI::App& app, Invocation& invocation);
