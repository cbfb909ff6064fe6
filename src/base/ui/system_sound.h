#pragma once
// The critical-stop and default sounds: the freedesktop sound events "dialog-error" and
// "complete" where a sound service plays them, else the plain beep.

namespace reelsmith {

enum class TSystemSound { CriticalStop, Default };

void PlaySystemSound(TSystemSound sound);

}  // namespace reelsmith
