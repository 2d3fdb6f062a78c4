// The sound effects' loader on arbitrary file contents, then the decoded
// recording played to its end through the mixer: no out-of-bounds access, no
// endless loop, and every voice ends with its recording.
#include "Sounds.h"

#include "FuzzFile.h"
#include "OggMutator.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

LUMENFALL_OGG_MUTATOR

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The folder the effects read; "finalSpeech-forward.ogg" stays missing.
    static const FuzzFile file("finalSpeech.ogg");
    file.write(data, size);
    Sounds sounds(file.folder);
    const size_t length = sounds.getFile(Sounds::FinalSpeech).data.size();
    sounds.playSound(Sounds::FinalSpeech);
    sounds.playSound(Sounds::FinalSpeechForward);
    const int frames = 4096;
    std::vector<float> block(2 * frames, 0.0f);
    size_t played = 0;
    while (sounds.getPlayingCount() > 0) {
        sounds.getAudio(block.data(), frames);
        played += frames;
        if (played > length + frames)
            std::abort();
    }
    return 0;
}
