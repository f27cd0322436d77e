#pragma once

#include <string>

// A list reply of ACount request objects as the server writes them: Arabic names, classes and
// requesters, realistic dates, a mix of pending and completed requests.
std::string SyntheticListReply(int ACount);
