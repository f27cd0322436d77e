#include "InstanceScope.h"

#include <windows.h>

#include <iterator>

#include "WindowsPaths.h"

namespace {

std::string UserName() {
    wchar_t name[257] = {};  // UNLEN + 1
    DWORD size = DWORD(std::size(name));
    return GetUserNameW(name, &size) ? WindowsPaths::Utf8(name) : std::string();
}

// Two people signed in at once (fast user switching, a terminal server) each have a session.
DWORD SessionNumber() {
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    return session;
}

}  // namespace

std::string TInstanceScope::Key(const std::string& APath) {
    return WindowsPaths::Utf8(WindowsPaths::OneSpelling(WindowsPaths::Wide(APath))) + '|' +
           UserName() + '|' + std::to_string(SessionNumber());
}
