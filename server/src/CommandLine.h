#pragma once

#include <optional>
#include <string>
#include <vector>

#include "KestaroServer.h"

struct TCommandLine {
    TServerOptions Server;
    int Seed = 0;             // requests to add to an empty database
    int SimulateSeconds = 0;  // add a pending request this often; 0 for never
    // Where the password came from, to say on start-up (never the password itself).
    std::string PasswordSource = "--demo (the demonstration's password, as the README gives it)";
    bool Help = false;
    bool Version = false;
    // What start-up should warn of: a password file that other users may read.
    std::vector<std::string> Warnings;
};

// Reads the arguments after the program name; on a mistake, nothing, with AError saying what.
// The password comes from --password-file (its first line), else --password, else
// APasswordFromEnvironment (KESTARO_PASSWORD) when given (refused when empty), else, with --demo
// only, the demonstration's password; without any of them the line is refused. A real server
// keeps it out of the command line, which every local user can read.
std::optional<TCommandLine> ParseCommandLine(const std::vector<std::string>& AArgs,
                                             std::string& AError,
                                             const char* APasswordFromEnvironment = nullptr);

extern const char* const UsageText;
extern const char* const VersionText;
