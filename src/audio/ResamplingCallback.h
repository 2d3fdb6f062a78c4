#pragma once

#include "PortAudioCallback.h"

#include <samplerate.h>
#include <vector>

// Plays a callback that mixes at one rate on a stream that runs at another:
// the device opens its stream at 48000 Hz when the server refuses the game's
// 44100 Hz, and the mix is converted here rather than played fast and sharp.
//
// Each block the stream asks for is made from blocks pulled from the source
// into a buffer made at construction and converted by libsamplerate, whose
// converter state is made here too; input the converter has not taken yet
// waits in that buffer for the next block. Threads: construction and
// destruction on the main thread, getAudio on the audio thread, where it
// allocates nothing, takes no lock and writes no line.
class ResamplingCallback : public PortAudioCallback {
public:
    // Frames of the source's rate the buffer holds; a larger output block is
    // made in several steps.
    static constexpr int Capacity = 4096;
    // Fewest frames asked of the source at once (unless the buffer is
    // nearly full), so that the source's blocks stay a usable size.
    static constexpr int MinimumPull = 64;

    // Main thread. source is not owned; channels are interleaved in both
    // rates' blocks.
    ResamplingCallback(PortAudioCallback* source, double sourceRate, double deviceRate, int channels);
    ~ResamplingCallback() override;

    ResamplingCallback(const ResamplingCallback&) = delete;
    ResamplingCallback& operator=(const ResamplingCallback&) = delete;

    // False when libsamplerate could not make a converter; getAudio then
    // plays silence.
    bool isReady() const { return state != nullptr; }

    // Audio thread. Fills frames frames of the device's rate. The device's
    // input, at the device's rate, is not passed on: the source gets none.
    void getAudio(float* input, float* output, int frames) override;

private:
    PortAudioCallback* source;  // not owned; called on the audio thread only
    SRC_STATE* state;           // audio thread once made
    double ratio;               // device frames per source frame
    int channels;               // interleaved samples per frame
    std::vector<float> pending; // Capacity frames, made once; the first pendingFrames not yet converted
    int pendingFrames;          // audio thread
};
