#include "PortAudioDevice.h"

#include "Log.h"
#include "PortAudioCallback.h"
#include "ResamplingCallback.h"

#include <alsa/asoundlib.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

// The stream's user data, between PortAudio and the callback object.
//
// A stop that hangs is given up (see stopWithTimeout), and the stream may
// then go on calling back while the application deletes its states and
// itself. So from the moment stop begins the callback object is never
// touched again: every block passes through this gate, which the audio
// thread holds (Open -> InCallback -> Open) for the length of one call, and
// which stop closes (Open -> Closed), waiting for a block in progress to be
// finished first. A closed gate turns every later block into silence.
//
// The gate must outlive the stream: the thread that closes the stream frees
// it once Pa_CloseStream has returned, and a stream that is never closed
// keeps it for the rest of the run.
struct PortAudioDevice::Gate {
    enum State { Open, InCallback, Closed };

    std::atomic<int> state{Open};
    PortAudioCallback* callback = nullptr; // fixed before the stream starts
    int outputChannels = 0;
    // Between the stream and the device's callback object when the stream
    // runs at another rate than the mix; made before the stream starts.
    std::unique_ptr<ResamplingCallback> resampler;

    // Main thread. Returns once no block is being made and none will be.
    void close() {
        int expected = Open;
        while (!state.compare_exchange_weak(expected, Closed, std::memory_order_acquire)) {
            // A block in progress takes milliseconds at most: the callback
            // neither waits nor does file work.
            expected = Open;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
};

namespace {

// How long quitting waits for PortAudio to stop and close a stream.
const std::chrono::seconds StopTimeout(3);

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

// ALSA writes its complaints (no sound card, a missing plug-in) straight to
// standard error while PortAudio probes its devices; the game says in its
// own words what became of the sound.
void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

} // namespace

PortAudioDevice::PortAudioDevice()
    : stream(nullptr), gate(nullptr), callback(nullptr), inputChannels(0), outputChannels(2),
      sampleRate(44100.0), mixRate(44100.0), running(false), hostApi(paCoreAudio) {}

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
    mixRate = rate;
}

void PortAudioDevice::setAPI(const std::string& name) {
    hostApiName = name.empty() ? "CoreAudio" : name;
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
        Log::plain("PortAudioDevice: host API " + hostApiName + " is not available, using " +
                   Pa_GetHostApiInfo(fallback)->name + ".");
    }
    return fallback;
}

void PortAudioDevice::chooseSampleRate(const PaStreamParameters& output) {
    // Every start asks for the rate of the mix first.
    sampleRate = mixRate;
    if (Pa_IsFormatSupported(nullptr, &output, sampleRate) == paInvalidSampleRate) {
        Log::plain("44100Hz samplerate not supported, using 48000Hz.");
        sampleRate = 48000.0;
        if (Pa_IsFormatSupported(nullptr, &output, sampleRate) == paInvalidSampleRate) {
            Log::plain("48000Hz not supported either?");
        }
    }
}

PortAudioDevice::Gate* PortAudioDevice::makeGate() const {
    Gate* made = new Gate;
    made->callback = callback;
    made->outputChannels = outputChannels;
    if (callback && outputChannels > 0 && sampleRate != mixRate) {
        made->resampler.reset(new ResamplingCallback(callback, mixRate, sampleRate, outputChannels));
        if (made->resampler->isReady()) {
            made->callback = made->resampler.get();
            Log::plain("Audio: resampling from " + std::to_string(static_cast<long>(mixRate)) + " Hz to " +
                       std::to_string(static_cast<long>(sampleRate)) + " Hz.");
        } else {
            made->resampler.reset();
        }
    }
    return made;
}

bool PortAudioDevice::start() {
    if (running) {
        return false;
    }
    snd_lib_error_set_handler(ignoreAlsaError);
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

    chooseSampleRate(output);
    gate = makeGate();
    PaError error = Pa_OpenStream(
        &stream, inputChannels >= 1 ? &input : nullptr, outputChannels >= 1 ? &output : nullptr, sampleRate,
        paFramesPerBufferUnspecified, paNoFlag, &PortAudioDevice::portAudioCallback, gate);
    if (error != paNoError) {
        Log::plain("PortAudioDevice Error: Could not open stream.");
        stream = nullptr;
        delete gate;
        gate = nullptr;
        Pa_Terminate();
        return false;
    }
    if (Pa_StartStream(stream) != paNoError) {
        Log::plain("PortAudioDevice Error: Could not start stream.");
        Pa_CloseStream(stream);
        stream = nullptr;
        delete gate;
        gate = nullptr;
        Pa_Terminate();
        return false;
    }
    running = true;
    return true;
}

// Stops, closes and releases one stream on a thread of its own and waits for
// that at most StopTimeout: a host API whose server has just gone away can
// block in these calls for minutes. True when they finished in time;
// otherwise the thread is left behind (the program is on its way out). The
// thread frees the stream's gate once the stream is closed.
bool PortAudioDevice::stopWithTimeout(PaStream* stream, Gate* gate) {
    struct Done {
        std::mutex lock;
        std::condition_variable changed;
        bool finished = false;
    };
    auto done = std::make_shared<Done>();
    std::thread worker([stream, gate, done] {
        Pa_StopStream(stream);
        Pa_CloseStream(stream);
        delete gate;
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

bool PortAudioDevice::isStreamAlive() const {
    return running && Pa_IsStreamActive(stream) == 1;
}

void PortAudioDevice::stop() {
    if (!running) {
        return;
    }
    running = false;
    PaStream* closing = stream;
    Gate* closingGate = gate;
    stream = nullptr;
    gate = nullptr;
    // From here on the callback object is the caller's again.
    closingGate->close();
    // A stream that stopped by itself lost its server (a JACK server that
    // quit or was killed). Stopping, closing or releasing it then waits on
    // that server, which never answers: leave it as it is, with its gate.
    if (Pa_IsStreamActive(closing) != 1) {
        Log::plain(
            "PortAudioDevice: the audio stream had already stopped; leaving it without waiting for its "
            "server.");
        return;
    }
    if (!stopWithTimeout(closing, closingGate)) {
        Log::plain("PortAudioDevice: the audio stream did not stop within " +
                   std::to_string(StopTimeout.count()) + " s; leaving it.");
    }
}

// Runs on PortAudio's audio thread; passes the block on through the gate, or
// writes silence once the gate is closed, and never ends the stream.
int PortAudioDevice::portAudioCallback(const void* input, void* output, unsigned long frameCount,
                                       const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags,
                                       void* userData) {
    Gate* gate = static_cast<Gate*>(userData);
    int open = Gate::Open;
    if (gate->callback &&
        gate->state.compare_exchange_strong(open, Gate::InCallback, std::memory_order_acquire)) {
        gate->callback->getAudio(const_cast<float*>(static_cast<const float*>(input)),
                                 static_cast<float*>(output), static_cast<int>(frameCount));
        gate->state.store(Gate::Open, std::memory_order_release);
    } else if (output) {
        std::memset(output, 0, sizeof(float) * frameCount * static_cast<size_t>(gate->outputChannels));
    }
    return paContinue;
}
