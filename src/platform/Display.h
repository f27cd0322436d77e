#pragma once

#include <string>

// Whether the program has a display to show its window on.
class TDisplay {
public:
    TDisplay() = delete;

    // Empty where a window can be shown; otherwise a sentence that says why not. The toolkit
    // would end the program with an abort instead of a word.
    static std::string Problem();
};
