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
    std::string PasswordSource = "the demo's default (no password given)";
    bool Help = false;
    bool Version = false;
};

// Reads the arguments after the program name; on a mistake, nothing, with AError saying what.
// The password comes from --password-file (its first line), else --password, else
// APasswordFromEnvironment (KESTARO_PASSWORD) when given, else the demo's default: a real
// server keeps it out of the command line, which every local user can read.
std::optional<TCommandLine> ParseCommandLine(const std::vector<std::string>& AArgs,
                                             std::string& AError,
                                             const char* APasswordFromEnvironment = nullptr);

extern const char* const UsageText;
extern const char* const VersionText;
