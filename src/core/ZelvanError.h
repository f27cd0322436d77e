#pragma once

#include <stdexcept>
#include <string>

// The client's own error, raised only where a reply cannot be read at all (a body that is not
// valid UTF-8, or one too large to hold) and by the configuration file's writer. Its message is
// UTF-8 text meant for the user.
class EZelvanError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
