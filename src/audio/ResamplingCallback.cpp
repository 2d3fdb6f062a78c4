#include "ResamplingCallback.h"

#include "Log.h"

#include <algorithm>
#include <cmath>
#include <cstring>

ResamplingCallback::ResamplingCallback(PortAudioCallback* source, double sourceRate, double deviceRate,
                                       int channels)
    : source(source), state(nullptr), ratio(deviceRate / sourceRate), channels(channels),
      pending(static_cast<size_t>(Capacity) * static_cast<size_t>(channels), 0.0f), pendingFrames(0) {
    // The middle one of the band-limited converters: it keeps 90 % of the
    // band (to about 19.8 kHz from 44100 Hz) for under 1 % of one core at
    // 48000 Hz (audio_benchmark: 0.009 CPU s per s, the fastest 0.005).
    // Made here: src_process on a made state does not allocate.
    int error = 0;
    state = src_new(SRC_SINC_MEDIUM_QUALITY, channels, &error);
    if (!state) {
        Log::plain(std::string("Audio: no resampler (") + src_strerror(error) +
                   "); the sound plays at the wrong pitch.");
    }
}

ResamplingCallback::~ResamplingCallback() {
    if (state) {
        src_delete(state);
    }
}

// Runs on the audio thread: no allocation, no lock, no file I/O, no logging.
//
// The converter keeps the input its filter still needs, so the source is
// pulled only once the converter has taken all that was given and still
// cannot finish the block: the source then runs ahead of the stream by no
// more than the filter's reach and one pull, whatever the block sizes.
void ResamplingCallback::getAudio(float*, float* output, int frames) {
    const size_t width = static_cast<size_t>(channels);
    int made = 0;
    while (made < frames && state) {
        SRC_DATA data;
        data.data_in = pending.data();
        data.input_frames = pendingFrames;
        data.data_out = output + static_cast<size_t>(made) * width;
        data.output_frames = frames - made;
        data.end_of_input = 0;
        data.src_ratio = ratio;
        if (src_process(state, &data) != 0) {
            break;
        }
        const int used = static_cast<int>(data.input_frames_used);
        if (used > 0) {
            // What the converter could not take yet waits for the next step.
            std::memmove(pending.data(), pending.data() + static_cast<size_t>(used) * width,
                         sizeof(float) * static_cast<size_t>(pendingFrames - used) * width);
            pendingFrames -= used;
        }
        made += static_cast<int>(data.output_frames_gen);
        if (made == frames || (pendingFrames > 0 && (used > 0 || data.output_frames_gen > 0))) {
            continue;
        }
        if (pendingFrames == Capacity) {
            break; // a converter that takes nothing from a full buffer would loop for ever
        }
        const int wanted = static_cast<int>(std::ceil((frames - made) / ratio));
        const int pull = std::min(std::max(wanted, MinimumPull), Capacity - pendingFrames);
        source->getAudio(nullptr, &pending[static_cast<size_t>(pendingFrames) * width], pull);
        pendingFrames += pull;
    }
    if (made < frames) {
        std::memset(output + static_cast<size_t>(made) * width, 0,
                    sizeof(float) * static_cast<size_t>(frames - made) * width);
    }
}
