#include "OggFiles.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <stdexcept>
#include <unistd.h>
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

namespace OggFiles {

namespace {

void writePages(FILE* out, ogg_page& page) {
    std::fwrite(page.header, 1, static_cast<size_t>(page.header_len), out);
    std::fwrite(page.body, 1, static_cast<size_t>(page.body_len), out);
}

// Appends one logical stream to the open file; with headersOnly, its three
// header packets and no audio.
void encodeStream(FILE* out, const std::vector<Channel>& channels, int serial, long rate = 44100,
                  bool headersOnly = false) {
    int count = static_cast<int>(channels.size());
    long frames = static_cast<long>(channels[0].size());
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, count, rate, 0.6f) != 0) {
        throw std::runtime_error("vorbis_encode_init_vbr failed");
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, serial);

    ogg_packet header, headerComment, headerCode;
    vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &headerComment);
    ogg_stream_packetin(&stream, &headerCode);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page) != 0) {
        writePages(out, page);
    }

    const long chunk = 1024;
    long done = 0;
    bool ended = headersOnly;
    while (!ended) {
        long n = std::min(chunk, frames - done);
        if (n > 0) {
            float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(n));
            for (int c = 0; c < count; ++c) {
                for (long i = 0; i < n; ++i) {
                    buffer[c][i] = channels[static_cast<size_t>(c)][static_cast<size_t>(done + i)];
                }
            }
            vorbis_analysis_wrote(&dsp, static_cast<int>(n));
            done += n;
        } else {
            vorbis_analysis_wrote(&dsp, 0); // end of stream
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0) {
                    writePages(out, page);
                    if (ogg_page_eos(&page)) {
                        ended = true;
                    }
                }
            }
        }
    }
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
}

FILE* openForWriting(const std::string& path) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
    return out;
}

} // namespace

Channel sine(int n, double frequency, float amplitude) {
    Channel samples(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        samples[static_cast<size_t>(i)] =
            amplitude * static_cast<float>(std::sin(2.0 * M_PI * frequency * i / 44100.0));
    }
    return samples;
}

void write(const std::string& path, const std::vector<Channel>& channels, long rate) {
    FILE* out = openForWriting(path);
    encodeStream(out, channels, 1001, rate);
    std::fclose(out);
}

void writeHeadersOnly(const std::string& path, int channelCount) {
    FILE* out = openForWriting(path);
    encodeStream(out, std::vector<Channel>(static_cast<size_t>(channelCount), Channel(1)), 1001, 44100, true);
    std::fclose(out);
}

void writeChained(const std::string& path, const std::vector<Channel>& first,
                  const std::vector<Channel>& second) {
    FILE* out = openForWriting(path);
    encodeStream(out, first, 12345);
    encodeStream(out, second, 54321);
    std::fclose(out);
}

void writeTruncated(const std::string& path, const std::vector<Channel>& channels, long bytes) {
    write(path, channels);
    if (truncate(path.c_str(), bytes) != 0) {
        throw std::runtime_error("cannot truncate " + path);
    }
}

void writeText(const std::string& path, const std::string& text) {
    FILE* out = openForWriting(path);
    std::fwrite(text.data(), 1, text.size(), out);
    std::fclose(out);
}

Channel decode(const std::string& path, int channel) {
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) != 0) {
        throw std::runtime_error("cannot decode " + path);
    }
    // Straight after opening a chained file the decoder reports its last
    // link until the first seek.
    ov_pcm_seek(&file, 0);
    Channel samples;
    for (;;) {
        float** pcm = nullptr;
        int bitstream = 0;
        long n = ov_read_float(&file, &pcm, 4096, &bitstream);
        if (n <= 0 || bitstream != 0) {
            break;
        }
        samples.insert(samples.end(), pcm[channel], pcm[channel] + n);
    }
    ov_clear(&file);
    return samples;
}

std::string makeFolder(const std::string& prefix) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) {
        throw std::runtime_error("cannot make a folder from " + pattern);
    }
    return name.data();
}

void removeFolder(const std::string& path) {
    if (DIR* dir = opendir(path.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") {
                unlink((path + "/" + name).c_str());
            }
        }
        closedir(dir);
    }
    rmdir(path.c_str());
}

} // namespace OggFiles
