// One streaming slot on arbitrary file contents: the load, its first three
// buffers, then playback with refills past the end of the file (where the
// slot rewinds and fades out). No out-of-bounds access and no endless loop.
#include "StreamingSound.h"

#include "FuzzFile.h"
#include "OggMutator.h"

#include <cstdint>
#include <vector>

LUMENFALL_OGG_MUTATOR

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const FuzzFile file("recording.ogg");
    file.write(data, size);
    StreamingSound::Sound sound;
    if (!sound.load(file.path))
        return 0;
    sound.setLevel(1.0f);
    // 64 blocks of 512 frames: three more buffers than the load decoded, so
    // every buffer is refilled once and a short file is read past its end.
    const int frames = 512;
    std::vector<float> block(2 * frames, 0.0f);
    for (int i = 0; i < 64 && sound.isActive(); ++i) {
        sound.getAudio(block.data(), frames);
        sound.updateBuffers();
    }
    return 0;
}
