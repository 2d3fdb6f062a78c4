#include "OggOpener.h"

#include "DecodeGuard.h"
#include "FilePath.h"
#include "Log.h"

#include <cstdio>

bool OggOpener::openDecoder(const std::string& path, OggVorbis_File* decoder,
                            const std::string& whenDamaged) {
    FILE* file = FilePath::openForReading(path);
    if (!file) {
        Log::plain("vorbisfile: fopen could not open file: " + path);
        return false;
    }
    int opened = -1;
    if (!DecodeGuard::run([&] { opened = ov_open(file, decoder, nullptr, 0); })) {
        // The decoder faulted; it had taken the file, and clearing closes it.
        ov_clear(decoder);
        Log::plain("vorbisfile: " + path + " is damaged; the decoder failed on it, " + whenDamaged);
        return false;
    }
    if (opened < 0) {
        // On failure the decoder does not take the file.
        std::fclose(file);
        Log::plain("vorbisfile: Could not open file: " + path);
        return false;
    }
    if (ov_streams(decoder) <= 0) {
        ov_clear(decoder);
        Log::plain("vorbisfile: There are no streams in this file?");
        return false;
    }
    Log::plain("vorbisfile: Loaded file: " + path);
    return true;
}
