#include "CommandLine.h"

#include <charconv>

const char* const UsageText =
    "Usage: kestaro-server [--host 127.0.0.1] [--port 8080] [--db PATH] [--password 2613]\n"
    "                      [--seed N] [--simulate SECONDS]\n"
    "\n"
    "A local Kestaro server: certificate requests over HTTP, stored in SQLite.\n"
    "  --host ADDRESS      address to listen on (default 127.0.0.1)\n"
    "  --port PORT         port to listen on, 0 for any free port (default 8080)\n"
    "  --db PATH           database file (default kestaro.db in the working directory)\n"
    "  --password TEXT     the password of the account \"user\" (default 2613)\n"
    "  --seed N            fill an empty database with N sample requests\n"
    "  --simulate SECONDS  add a new pending request every SECONDS seconds\n"
    "  --help              show this text\n";

namespace {

bool ReadInt(const std::string& AText, int ALow, int AHigh, int& AValue) {
    const char* end = AText.data() + AText.size();
    const auto [stop, error] = std::from_chars(AText.data(), end, AValue);
    return error == std::errc() && stop == end && AValue >= ALow && AValue <= AHigh;
}

}  // namespace

std::optional<TCommandLine> ParseCommandLine(const std::vector<std::string>& AArgs,
                                             std::string& AError) {
    TCommandLine line;
    for (std::size_t i = 0; i < AArgs.size(); ++i) {
        const std::string& option = AArgs[i];
        if (option == "--help" || option == "-h") {
            line.Help = true;
            continue;
        }
        if (i + 1 >= AArgs.size()) {
            AError = option.rfind("--", 0) == 0 ? option + " needs a value"
                                                : "unknown argument " + option;
            return std::nullopt;
        }
        const std::string& value = AArgs[++i];
        bool ok = true;
        if (option == "--host") {
            line.Server.Host = value;
        } else if (option == "--port") {
            ok = ReadInt(value, 0, 65535, line.Server.Port);
        } else if (option == "--db") {
            line.Server.DatabasePath = value;
        } else if (option == "--password") {
            line.Server.Password = value;
        } else if (option == "--seed") {
            ok = ReadInt(value, 0, 1000000, line.Seed);
        } else if (option == "--simulate") {
            ok = ReadInt(value, 0, 86400, line.SimulateSeconds);
        } else {
            AError = "unknown option " + option;
            return std::nullopt;
        }
        if (!ok) {
            AError = "invalid value for " + option + ": " + value;
            return std::nullopt;
        }
    }
    return line;
}
