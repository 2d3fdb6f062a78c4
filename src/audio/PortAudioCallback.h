#pragma once

// The audio device asks its callback for each block of sound on the audio
// thread. Implementations run in real time: no allocation, no file I/O, no
// waiting on locks other than the short ones named at their use.
class PortAudioCallback {
public:
    virtual ~PortAudioCallback() {}
    // input: the device's input samples (unused here); output: 2 * frames
    // interleaved stereo floats, left at even and right at odd positions.
    virtual void getAudio(float* input, float* output, int frames) = 0;
};
