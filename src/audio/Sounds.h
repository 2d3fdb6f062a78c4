#pragma once

#include <atomic>
#include <string>
#include <vector>

// Two short recordings decoded fully into memory, played as up to 128
// overlapping voices. The main thread starts voices; the audio thread mixes
// them. Build the instance on the main thread before the audio device starts:
// decoding is file work that must never happen inside the audio callback.
class Sounds {
public:
    enum SoundType { FinalSpeech = 0, FinalSpeechForward = 1 };
    static const int NumVoices = 128;

    // One decoded recording, one channel; empty when loading failed.
    struct SoundFile {
        std::vector<float> data;
    };

    // The program's instance, reading the data folder's "otherSounds"; built
    // on the first call.
    static Sounds* getInstance();

    // Reads "finalSpeech.ogg" and "finalSpeech-forward.ogg" from the folder.
    explicit Sounds(const std::string& folder);

    Sounds(const Sounds&) = delete;
    Sounds& operator=(const Sounds&) = delete;

    // Main thread. Starts a voice of the recording from its first sample in
    // the first idle slot; dropped when all slots play.
    void playSound(SoundType type);
    // Audio thread. Adds every playing voice to both channels of an
    // interleaved stereo block.
    void getAudio(float* buffer, int frames);

    const SoundFile& getFile(SoundType type) const { return files[type]; }
    // Voices now playing.
    int getPlayingCount() const { return playingCount.load(std::memory_order_acquire); }

private:
    struct Voice {
        const float* data = nullptr; // written by the main thread while idle; not owned
        unsigned int size = 0;       // written by the main thread while idle
        unsigned int position = 0;   // main thread while idle, audio thread while playing
        // Hands the voice over: the main thread sets it (release) after the
        // fields above, the audio thread clears it (release) after its last use.
        std::atomic<bool> playing{false};
    };

    static void loadFile(const std::string& path, SoundFile* file);

    SoundFile files[2]; // read-only after construction
    Voice voices[NumVoices];
    std::atomic<int> playingCount; // raised by the main thread, lowered by the audio thread
};
