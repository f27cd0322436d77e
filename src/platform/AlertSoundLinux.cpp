#include "AlertSound.h"

#include <alsa/asoundlib.h>
#include <canberra.h>

#include <cstdio>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// ALSA writes a dozen lines to the terminal for every sound it cannot play, as on a server or a
// virtual machine without a sound device. A missing device is normal there: the alert then
// plays nothing, and says so once.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

void SayNoSoundOnce() {
    static bool said = false;
    if (said) return;
    said = true;
    std::fputs("kestaro-zelvan: the alert sound cannot be played here (no sound device?)\n",
               stderr);
}

// libcanberra talks to the sound server, which can hang (a PulseAudio that does not answer), so
// every call into it is made on a thread of its own and the caller waits only briefly for the
// answer. The thread is detached and its state shared: a stuck sound server must not hold up the
// end of the program either.
class TCanberraThread {
public:
    static TCanberraThread& Instance() {
        static TCanberraThread* instance = new TCanberraThread;  // lives as long as the process
        return *instance;
    }

    bool Play() {
        std::unique_lock lock(FState->Mutex);
        if (FState->Broken) return false;
        const unsigned ticket = ++FState->Requested;
        FState->Wake.notify_all();
        return FState->Done.wait_for(lock, AnswerTime, [&] {
            return FState->Answered >= ticket;
        }) && FState->LastPlayed;
    }

private:
    static constexpr auto AnswerTime = std::chrono::milliseconds(300);

    struct TState {
        std::mutex Mutex;
        std::condition_variable Wake;
        std::condition_variable Done;
        unsigned Requested = 0;
        unsigned Answered = 0;
        bool LastPlayed = false;
        bool Broken = false;  // no context could be made: no sound will ever play
    };

    TCanberraThread() : FState(std::make_shared<TState>()) {
        std::thread([state = FState] { Serve(*state); }).detach();
    }

    static void Serve(TState& AState) {
        snd_lib_error_set_handler(&QuietAlsa);
        ca_context* context = nullptr;
        const bool ready = ca_context_create(&context) == CA_SUCCESS &&
                           ca_context_change_props(context, CA_PROP_APPLICATION_NAME, "Kestaro",
                                                   nullptr) == CA_SUCCESS &&
                           ca_context_open(context) == CA_SUCCESS;
        std::unique_lock lock(AState.Mutex);
        if (!ready) {
            SayNoSoundOnce();
            AState.Broken = true;
            AState.Answered = AState.Requested;
            AState.LastPlayed = false;
            AState.Done.notify_all();
            if (context != nullptr) ca_context_destroy(context);
            return;
        }
        for (;;) {
            AState.Wake.wait(lock, [&] { return AState.Answered < AState.Requested; });
            const unsigned ticket = AState.Requested;
            lock.unlock();
            const bool played = ca_context_play(context, 0, CA_PROP_EVENT_ID, "dialog-information",
                                                CA_PROP_EVENT_DESCRIPTION,
                                                "New certificate request", nullptr) == CA_SUCCESS;
            if (!played) SayNoSoundOnce();
            lock.lock();
            // Requests that piled up meanwhile are answered by this one sound.
            AState.Answered = ticket;
            AState.LastPlayed = played;
            AState.Done.notify_all();
        }
    }

    std::shared_ptr<TState> FState;
};

}  // namespace

bool TAlertSound::PlayInformation() {
    return TCanberraThread::Instance().Play();
}
