#pragma once

#include <string>

class PortAudioCallback;

// The audio output stream. Until the real device is built this one keeps its
// settings and reports that it cannot start, so the game runs silent.
class PortAudioDevice {
public:
    PortAudioDevice();
    ~PortAudioDevice();

    void setCallback(PortAudioCallback* callback);
    void setNumChannels(int inputs, int outputs);
    void setSamplerate(double rate);
    void setAPI(const std::string& name);
    // Opens and starts the stream; true on success.
    bool start();
    void stop();

private:
    PortAudioCallback* callback;
    int inputChannels;
    int outputChannels;
    double sampleRate;
    bool running;
    std::string api;
};
