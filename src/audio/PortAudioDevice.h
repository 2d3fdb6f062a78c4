#pragma once

#include <portaudio.h>
#include <string>

class PortAudioCallback;

// One PortAudio stream on the default devices of a chosen host API. The
// callback object is called from PortAudio's audio thread for every block;
// start and stop are for the main thread.
class PortAudioDevice {
public:
    PortAudioDevice();
    ~PortAudioDevice();

    PortAudioDevice(const PortAudioDevice&) = delete;
    PortAudioDevice& operator=(const PortAudioDevice&) = delete;

    // Takes effect at the next start; the object must outlive the stream.
    void setCallback(PortAudioCallback* callback);
    void setNumChannels(int inputs, int outputs);
    void setSamplerate(double rate);
    // "DirectSound", "ASIO", "MME", "ALSA", "JACK", "OSS"; any other text
    // (exact case) means "CoreAudio". A host API this build lacks, or one
    // without a default output device, falls back at start.
    void setAPI(const std::string& name);
    // Opens and starts the stream; true on success, false when already
    // running or when it failed (with a line on standard output).
    bool start();
    // Stops and closes the stream and releases PortAudio; once only. A
    // stream that has lost its server is left alone, and a stop that takes
    // longer than a few seconds is given up, so stop always returns. Either
    // way the callback object is never called again once stop has begun: a
    // block still being made is waited for, and any later block the stream
    // asks for is silence.
    void stop();

    bool isRunning() const { return running; }
    // Started and still running: false once the stream has stopped by itself,
    // as it does when its server goes away.
    bool isStreamAlive() const;
    // The rate asked of the stream: 48000 after the fallback. The callback
    // object is still called at the rate given to setSamplerate: the stream's
    // blocks are converted from it.
    double getSamplerate() const { return sampleRate; }
    PaHostApiTypeId getHostApi() const { return hostApi; }

    static int portAudioCallback(const void* input, void* output, unsigned long frameCount,
                                 const PaStreamCallbackTimeInfo* timeInfo, PaStreamCallbackFlags statusFlags,
                                 void* userData);

private:
    // What the stream calls through; it outlives the stream (see the source).
    struct Gate;

    // The host API to use: the chosen one, else the fallbacks; -1 for none.
    PaHostApiIndex findHostApi() const;
    // Stops, closes and releases the stream, giving up after a bound.
    static bool stopWithTimeout(PaStream* stream, Gate* gate);
    // The stream's rate: the mix's, else 48000 Hz when the device refuses it.
    void chooseSampleRate(const PaStreamParameters& output);
    // The gate for a stream at sampleRate, through a converter when that is
    // not the mix's rate.
    Gate* makeGate() const;

    PaStream* stream;                      // main thread; valid while running
    Gate* gate;                            // main thread; the running stream's, handed over by stop
    PortAudioCallback* callback;           // not owned; called on the audio thread
    int inputChannels;                     // 0 opens no input
    int outputChannels;                    // 0 opens no output
    double sampleRate;                     // frames per second of the stream
    double mixRate;                        // frames per second of the callback object, as set
    bool running;                          // main thread
    PaHostApiTypeId hostApi;               // chosen by setAPI
    std::string hostApiName = "CoreAudio"; // as given to setAPI, for the fallback line
};
