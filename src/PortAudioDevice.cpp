#include "PortAudioDevice.h"

PortAudioDevice::PortAudioDevice()
    : callback(nullptr), inputChannels(0), outputChannels(2), sampleRate(44100.0), running(false) {}

PortAudioDevice::~PortAudioDevice() {
    stop();
}

void PortAudioDevice::setCallback(PortAudioCallback* newCallback) {
    callback = newCallback;
}

void PortAudioDevice::setNumChannels(int inputs, int outputs) {
    inputChannels = inputs;
    outputChannels = outputs;
}

void PortAudioDevice::setSamplerate(double rate) {
    sampleRate = rate;
}

void PortAudioDevice::setAPI(const std::string& name) {
    api = name;
}

bool PortAudioDevice::start() {
    return false;
}

void PortAudioDevice::stop() {
    running = false;
}
