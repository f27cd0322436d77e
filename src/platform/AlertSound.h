#pragma once

// The desktop's information sound, the one a new certificate request is announced with.
class TAlertSound {
public:
    TAlertSound() = delete;

    // Starts the sound and returns without waiting for it to end. False when no sound could be
    // played, so that the caller can fall back to a plain beep.
    static bool PlayInformation();
};
