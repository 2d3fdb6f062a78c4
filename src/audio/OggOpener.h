#pragma once

#include <string>
#include <vorbis/vorbisfile.h>

// Opens an Ogg Vorbis recording for the two decoders, the effects that are
// decoded whole and the streamed recordings, with the messages they share.
class OggOpener {
public:
    OggOpener() = delete;

    // Opens path into decoder, which then owns the file: true when it holds
    // at least one stream, after the "Loaded file" line. False when the file
    // cannot be opened, is refused, has no stream or makes the decoder fault;
    // nothing is left open then. whenDamaged ends the line about a file that
    // makes the decoder fault.
    static bool openDecoder(const std::string& path, OggVorbis_File* decoder, const std::string& whenDamaged);
};
