#pragma once

#include <string>
#include <vector>

#include "cli/options.h"

// Every command of zentory-cli, with the tables that their parsers use.
std::vector<const CommandSpec*> Commands();

// What `zentory-cli --help` prints: each command with all of its options.
std::string ProgramUsage();
