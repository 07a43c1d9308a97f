#pragma once
// A short sound for each outcome of a record, so a teacher already walking away hears
// whether it went in.

#include <functional>

namespace tavomi {

enum class Sound {
    Written,  // the record is in the journal
    Kept,     // kept on this PC until the share answers
    Problem   // busy, missing journal or an error: the teacher must act
};

using SoundPlayer = std::function<void(Sound)>;

// Plays through the one player installed for the process; none installed, nothing sounds.
void playSound(Sound sound);

// Installs the player (tests install one that records what was asked for); returns the
// one it replaces.
SoundPlayer setSoundPlayer(SoundPlayer player);

// The freedesktop sound theme through libcanberra, or silence where no sound server
// answers. The context is made once, on first use.
SoundPlayer systemSoundPlayer();

}  // namespace tavomi
