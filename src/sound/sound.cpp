#include "sound/sound.h"

#include <canberra.h>

#include <memory>
#include <mutex>
#include <utility>

namespace tavomi {

namespace {

std::mutex playerMutex;
SoundPlayer& installedPlayer() {
    static SoundPlayer player;
    return player;
}

// The sound theme's event names, as every freedesktop theme has them.
const char* eventId(Sound sound) {
    switch (sound) {
        case Sound::Written:
            return "complete";
        case Sound::Kept:
            return "dialog-information";
        case Sound::Problem:
            return "dialog-error";
    }
    return "bell";
}

struct CanberraContext {
    ca_context* context = nullptr;
    CanberraContext() {
        if (ca_context_create(&context) != CA_SUCCESS) {
            context = nullptr;
            return;
        }
        ca_context_change_props(context, CA_PROP_APPLICATION_NAME, "Tavomi", CA_PROP_APPLICATION_ID,
                                "tavomi", nullptr);
        // Opened here, so that a missing sound server costs once, not at every punch.
        if (ca_context_open(context) != CA_SUCCESS) {
            ca_context_destroy(context);
            context = nullptr;
        }
    }
    ~CanberraContext() {
        if (context != nullptr) {
            ca_context_destroy(context);
        }
    }
    CanberraContext(const CanberraContext&) = delete;
    CanberraContext& operator=(const CanberraContext&) = delete;
};

}  // namespace

void playSound(Sound sound) {
    SoundPlayer player;
    {
        const std::lock_guard guard(playerMutex);
        player = installedPlayer();
    }
    if (player) {
        player(sound);
    }
}

SoundPlayer setSoundPlayer(SoundPlayer player) {
    const std::lock_guard guard(playerMutex);
    return std::exchange(installedPlayer(), std::move(player));
}

SoundPlayer systemSoundPlayer() {
    auto context = std::make_shared<std::unique_ptr<CanberraContext>>();
    return [context](Sound sound) {
        if (!*context) {
            *context = std::make_unique<CanberraContext>();
        }
        if ((*context)->context != nullptr) {
            // Asynchronous: the screen does not wait for the sound.
            ca_context_play((*context)->context, 0, CA_PROP_EVENT_ID, eventId(sound),
                            CA_PROP_EVENT_DESCRIPTION, "Tavomi", nullptr);
        }
    };
}

}  // namespace tavomi
