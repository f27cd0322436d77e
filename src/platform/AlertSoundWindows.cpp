#include "AlertSound.h"

#include <windows.h>

bool TAlertSound::PlayInformation() {
    return MessageBeep(MB_ICONASTERISK) != 0;
}
