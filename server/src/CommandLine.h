#pragma once

#include <optional>
#include <string>
#include <vector>

#include "KestaroServer.h"

struct TCommandLine {
    TServerOptions Server;
    int Seed = 0;             // requests to add to an empty database
    int SimulateSeconds = 0;  // add a pending request this often; 0 for never
    bool Help = false;
};

// Reads the arguments after the program name; on a mistake, nothing, with AError saying what.
std::optional<TCommandLine> ParseCommandLine(const std::vector<std::string>& AArgs,
                                             std::string& AError);

extern const char* const UsageText;
