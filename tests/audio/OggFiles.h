#pragma once

#include <string>
#include <vector>

// Small Ogg Vorbis files made by the tests themselves, and an independent
// decode to compare what the game plays against.
namespace OggFiles {

// One channel of samples.
using Channel = std::vector<float>;

// A sine of n samples at the given frequency and amplitude (44100 Hz).
Channel sine(int n, double frequency, float amplitude);

// Encodes the channels (all of one length) as one logical stream, by default at 44100 Hz.
void write(const std::string& path, const std::vector<Channel>& channels, long rate = 44100);
// The three header packets of a stream and no audio packet at all.
void writeHeadersOnly(const std::string& path, int channelCount);
// Two logical streams one after the other in one file (a chained file).
void writeChained(const std::string& path, const std::vector<Channel>& first,
                  const std::vector<Channel>& second);
// A valid file cut after the given number of bytes.
void writeTruncated(const std::string& path, const std::vector<Channel>& channels, long bytes);
// A file that is not Ogg at all.
void writeText(const std::string& path, const std::string& text);

// Channel `channel` of the first logical stream, decoded in full.
Channel decode(const std::string& path, int channel);

// A fresh empty folder under the temporary folder; removed with removeFolder.
std::string makeFolder(const std::string& prefix);
void removeFolder(const std::string& path);

} // namespace OggFiles
