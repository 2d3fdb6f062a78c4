#include "Sounds.h"

#include "DecodeGuard.h"
#include "FilePath.h"
#include "Log.h"
#include "OggOpener.h"

#include <algorithm>
#include <climits>
#include <vorbis/vorbisfile.h>

Sounds* Sounds::getInstance() {
    static Sounds instance(FilePath::getDataFilesDir().getChild("otherSounds").path);
    return &instance;
}

namespace {

// Samples reserved up front at most (a minute and a half at 44100 Hz); a
// longer recording grows its array as it decodes.
const size_t ReserveLimit = size_t(1) << 22;

// Decodes channel 0 of the first link into data, at most length samples;
// false if the decoder faulted.
bool decodeAll(OggVorbis_File* decoder, size_t length, std::vector<float>* data) {
    // The length comes from the file's last granule position, which a damaged
    // file can set to anything: it limits what is kept, but memory is only
    // taken for samples that really decode.
    data->clear();
    data->reserve(std::min<size_t>(length, ReserveLimit));
    return DecodeGuard::run([&] {
        // Straight after opening a chained file libvorbisfile stands at its
        // last link until the first seek; start reading from the first.
        ov_pcm_seek(decoder, 0);
        while (data->size() < length) {
            float** pcm = nullptr;
            int bitstream = 0;
            int wanted = static_cast<int>(std::min<size_t>(length - data->size(), 4096));
            long n = ov_read_float(decoder, &pcm, wanted, &bitstream);
            if (n == 0) {
                break;
            }
            if (n < 0) {
                continue; // a gap in the data: nothing to store
            }
            data->insert(data->end(), pcm[0], pcm[0] + n);
        }
    });
}

} // namespace

Sounds::Sounds(const std::string& folder) : playingCount(0) {
    loadFile(folder + "/finalSpeech.ogg", &files[FinalSpeech]);
    loadFile(folder + "/finalSpeech-forward.ogg", &files[FinalSpeechForward]);
}

void Sounds::loadFile(const std::string& path, SoundFile* file) {
    OggVorbis_File decoder;
    if (!OggOpener::openDecoder(path, &decoder, "so it plays as silence."))
        return;
    // ov_pcm_total fails (negative) on a stream it cannot measure; such a
    // recording stays empty rather than sizing an array from an error code.
    ogg_int64_t total = ov_pcm_total(&decoder, 0);
    if (total < 0) {
        ov_clear(&decoder);
        Log::plain("vorbisfile: Could not find the length of file: " + path);
        return;
    }
    if (!decodeAll(&decoder, static_cast<size_t>(total), &file->data)) {
        file->data.clear();
        ov_clear(&decoder);
        Log::plain("vorbisfile: " + path + " is damaged; the decoder failed on it, so it plays as silence.");
        return;
    }
    // A file that ends early keeps only the samples it gave.
    file->data.shrink_to_fit();
    if (file->data.empty())
        Log::plain("vorbisfile: " + path + " holds no audio; it plays as silence.");
    ov_clear(&decoder);
}

void Sounds::playSound(SoundType type) {
    for (Voice& voice : voices) {
        if (!voice.playing.load(std::memory_order_acquire)) {
            voice.data = files[type].data.data();
            voice.size = static_cast<unsigned int>(files[type].data.size());
            voice.position = 0;
            // Counted before it is published, so the audio thread never
            // finishes a voice the count does not include yet.
            playingCount.fetch_add(1, std::memory_order_acq_rel);
            voice.playing.store(true, std::memory_order_release);
            return;
        }
    }
}

// Runs inside the audio callback: no allocation, no I/O, no locks, no logging.
void Sounds::getAudio(float* buffer, int frames) {
    int count = playingCount.load(std::memory_order_acquire);
    if (count <= 0) {
        return;
    }
    int handled = 0;
    for (Voice& voice : voices) {
        if (handled >= count) {
            break;
        }
        if (!voice.playing.load(std::memory_order_acquire)) {
            continue;
        }
        ++handled;
        unsigned int position = voice.position;
        const float* data = voice.data;
        unsigned int size = voice.size;
        unsigned int remaining = size - position;
        int n = remaining < static_cast<unsigned int>(frames) ? static_cast<int>(remaining) : frames;
        for (int i = 0; i < n; ++i) {
            float x = data[position + static_cast<unsigned int>(i)];
            buffer[2 * i] += x;
            buffer[2 * i + 1] += x;
        }
        position += static_cast<unsigned int>(n);
        voice.position = position;
        if (position >= size) {
            playingCount.fetch_sub(1, std::memory_order_acq_rel);
            voice.playing.store(false, std::memory_order_release);
        }
    }
}
