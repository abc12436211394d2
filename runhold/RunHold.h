#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Splits an option setting into arguments without a shell: blanks separate, double
// quotes group, and three double quotes in a row stand for one literal quote. These
// are the IDE's rules for the same settings, so both programs see the same words.
std::vector<std::string> SplitOptions(const std::string &options);

// The whole command runhold runs for its five arguments: the program (one argument,
// blanks and all), the options split as above, and the script (one argument).
std::vector<std::string> ComposeCommand(const std::string &program, const std::string &options,
                                        const std::string &script);

// Runs the command in this console and waits for it. Returns the command's exit
// status, or -1 with a message on `err` when it could not be started.
int RunCommand(const std::vector<std::string> &command, std::FILE *err);

// The program: checks the argument count, runs the command, tells the user the run is
// over and waits for Enter. Returns the program's exit status.
int RunHoldMain(int argc, char **argv, std::FILE *in, std::FILE *out, std::FILE *err);
