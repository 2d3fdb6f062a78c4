#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// The configuration folder ($XDG_CONFIG_HOME/Lumenfall or
// $HOME/.config/Lumenfall), created with its parents when missing.
std::string getFilePath();

// Reads the settings file "Lumenfall.conf", writing the defaults on first
// run. Lines are a key, a space and a value: "w 1280", "aa JACK", "ns 1".
// The file is never written back, so a user's edits survive.
class ConfigLoader {
public:
    ConfigLoader();
    // Writes the default file, replacing any existing one.
    void createFile() const;
    // Reads settings from a file; values that cannot be read are skipped.
    void readFile(const std::string& file);
    // Reads settings from an open stream to its end, as readFile does.
    void readStream(std::FILE* in);

    int width;            // "w"; 1024 when missing
    int height;           // "h"; 768 when missing
    int antialiasLevel;   // "a"; 6 when missing
    bool fullscreen;      // "f"; true when missing
    bool noSound;         // "ns"; false when missing
    bool noMusic;         // "nm"; false when missing
    std::string audioApi; // "aa"; "CoreAudio" when missing
    bool exhibit;         // "ex"; false when missing; not in the file written on first run

private:
    // One line of the file, without its line feed; length is its length.
    void readSetting(const char* line, size_t length);
};
