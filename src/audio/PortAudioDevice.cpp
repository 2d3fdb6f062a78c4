#include "PortAudioDevice.h"

#include "Log.h"
#include "PortAudioCallback.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// How long quitting waits for PortAudio to stop and close a stream.
const std::chrono::seconds StopTimeout(3);

// Stops, closes and releases one stream on a thread of its own and waits for
// that at most StopTimeout: a host API whose server has just gone away can
// block in these calls for minutes. True when they finished in time;
// otherwise the thread is left behind (the program is on its way out).
bool stopWithTimeout(PaStream* stream) {
    struct Done {
        std::mutex lock;
        std::condition_variable changed;
        bool finished = false;
    };
    auto done = std::make_shared<Done>();
    std::thread worker([stream, done] {
        Pa_StopStream(stream);
        Pa_CloseStream(stream);
        Pa_Terminate();
        std::lock_guard<std::mutex> hold(done->lock);
        done->finished = true;
        done->changed.notify_all();
    });
    std::unique_lock<std::mutex> hold(done->lock);
    bool finished = done->changed.wait_for(hold, StopTimeout, [&done] { return done->finished; });
    hold.unlock();
    if (finished) {
        worker.join();
    } else {
        worker.detach();
    }
    return finished;
}

// The host APIs setAPI knows by name; any other name, and any other type,
// stands for CoreAudio.
struct HostApiName {
    PaHostApiTypeId type;
    const char* name;
};
const HostApiName HostApiNames[] = {{paDirectSound, "DirectSound"},
                                    {paASIO, "ASIO"},
                                    {paMME, "MME"},
                                    {paALSA, "ALSA"},
                                    {paJACK, "JACK"},
                                    {paOSS, "OSS"}};

// Float samples on a default device, latency left to the host API.
PaStreamParameters streamParameters(PaDeviceIndex device, int channels) {
    PaStreamParameters parameters;
    parameters.device = device;
    parameters.channelCount = channels;
    parameters.sampleFormat = paFloat32;
    parameters.suggestedLatency = 0.0;
    parameters.hostApiSpecificStreamInfo = nullptr;
    return parameters;
}

const char* typeName(PaHostApiTypeId type) {
    for (const HostApiName& entry : HostApiNames) {
        if (entry.type == type)
            return entry.name;
    }
    return "CoreAudio";
}

} // namespace

PortAudioDevice::PortAudioDevice()
    : stream(nullptr), callback(nullptr), inputChannels(0), outputChannels(2), sampleRate(44100.0),
      running(false), hostApi(paCoreAudio) {}

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
    hostApi = paCoreAudio;
    for (const HostApiName& entry : HostApiNames) {
        if (name == entry.name)
            hostApi = entry.type;
    }
}

PaHostApiIndex PortAudioDevice::findHostApi() const {
    // Output-only and input-only streams need the matching default device.
    auto usable = [this](PaHostApiIndex index) {
        const PaHostApiInfo* info = index >= 0 ? Pa_GetHostApiInfo(index) : nullptr;
        if (!info) {
            return false;
        }
        if (outputChannels > 0) {
            return info->defaultOutputDevice != paNoDevice;
        }
        return info->defaultInputDevice != paNoDevice;
    };
    PaHostApiIndex chosen = Pa_HostApiTypeIdToHostApiIndex(hostApi);
    if (usable(chosen)) {
        return chosen;
    }
    PaHostApiIndex fallback = Pa_GetDefaultHostApi();
    if (!usable(fallback)) {
        fallback = -1;
        for (PaHostApiIndex i = 0; i < Pa_GetHostApiCount(); ++i) {
            if (usable(i)) {
                fallback = i;
                break;
            }
        }
    }
    if (fallback >= 0) {
        Log::plain(std::string("PortAudioDevice: host API ") + typeName(hostApi) +
                   " is not available, using " + Pa_GetHostApiInfo(fallback)->name + ".");
    }
    return fallback;
}

bool PortAudioDevice::start() {
    if (running) {
        return false;
    }
    if (Pa_Initialize() != paNoError) {
        Log::plain("PortAudioDevice Error: Could not initialise.");
        return false;
    }
    PaHostApiIndex index = findHostApi();
    if (index < 0) {
        Log::plain("PortAudioDevice Error: Could not open stream.");
        Pa_Terminate();
        return false;
    }
    const PaHostApiInfo* info = Pa_GetHostApiInfo(index);

    PaStreamParameters input = streamParameters(info->defaultInputDevice, inputChannels);
    PaStreamParameters output = streamParameters(info->defaultOutputDevice, outputChannels);

    if (Pa_IsFormatSupported(nullptr, &output, sampleRate) == paInvalidSampleRate) {
        Log::plain("44100Hz samplerate not supported, using 48000Hz.");
        sampleRate = 48000.0;
        if (Pa_IsFormatSupported(nullptr, &output, sampleRate) == paInvalidSampleRate) {
            Log::plain("48000Hz not supported either?");
        }
    }

    PaError error = Pa_OpenStream(
        &stream, inputChannels >= 1 ? &input : nullptr, outputChannels >= 1 ? &output : nullptr, sampleRate,
        paFramesPerBufferUnspecified, paNoFlag, &PortAudioDevice::portAudioCallback, callback);
    if (error != paNoError) {
        Log::plain("PortAudioDevice Error: Could not open stream.");
        stream = nullptr;
        Pa_Terminate();
        return false;
    }
    if (Pa_StartStream(stream) != paNoError) {
        Log::plain("PortAudioDevice Error: Could not start stream.");
        Pa_CloseStream(stream);
        stream = nullptr;
        Pa_Terminate();
        return false;
    }
    running = true;
    return true;
}

bool PortAudioDevice::isStreamAlive() const {
    return running && Pa_IsStreamActive(stream) == 1;
}

void PortAudioDevice::stop() {
    if (!running) {
        return;
    }
    running = false;
    PaStream* closing = stream;
    stream = nullptr;
    // A stream that stopped by itself lost its server (a JACK server that
    // quit or was killed). Stopping, closing or releasing it then waits on
    // that server, which never answers: leave it as it is.
    if (Pa_IsStreamActive(closing) != 1) {
        Log::plain(
            "PortAudioDevice: the audio stream had already stopped; leaving it without waiting for its "
            "server.");
        return;
    }
    if (!stopWithTimeout(closing)) {
        Log::plain("PortAudioDevice: the audio stream did not stop within " +
                   std::to_string(StopTimeout.count()) + " s; leaving it.");
    }
}

// Runs on PortAudio's audio thread; passes the block on and never ends the stream.
int PortAudioDevice::portAudioCallback(const void* input, void* output, unsigned long frameCount,
                                       const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags,
                                       void* userData) {
    if (userData) {
        static_cast<PortAudioCallback*>(userData)->getAudio(
            const_cast<float*>(static_cast<const float*>(input)), static_cast<float*>(output),
            static_cast<int>(frameCount));
    }
    return paContinue;
}
