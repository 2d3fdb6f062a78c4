#include "ConfigLoader.h"

#include "FilePath.h"
#include "Log.h"
#include "ScreenResolution.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace {

// The folder and any missing parents; false when the last one could not be made.
bool makeFolders(const std::string& folder) {
    for (std::string::size_type slash = folder.find('/', 1); slash != std::string::npos;
         slash = folder.find('/', slash + 1))
        mkdir(folder.substr(0, slash).c_str(), 0755);
    return mkdir(folder.c_str(), 0755) == 0;
}

// The integer at the start of text (leading blanks skipped). Overflow and a
// missing number count as unreadable.
bool readInt(const char* text, int& value) {
    errno = 0;
    char* end = nullptr;
    long number = std::strtol(text, &end, 10);
    if (end == text || errno == ERANGE || number < INT_MIN || number > INT_MAX)
        return false;
    value = static_cast<int>(number);
    return true;
}

bool readBool(const char* text, bool& value) {
    int number = 0;
    if (!readInt(text, number) || (number != 0 && number != 1))
        return false;
    value = number == 1;
    return true;
}

} // namespace

std::string getFilePath() {
    FilePath base = FilePath::getAppDataPath();
    std::string folder = base.path + "/Lumenfall";
    if (!FilePath(folder).isDirectory()) {
        if (makeFolders(folder))
            Log::plain("Created directory " + folder);
        else
            Log::plain("Could not create directory " + folder);
    }
    return folder;
}

ConfigLoader::ConfigLoader()
    : width(1024), height(768), antialiasLevel(6), fullscreen(true), noSound(false), noMusic(false),
      audioApi("CoreAudio"), exhibit(false) {
    std::string file = getFilePath() + "/Lumenfall.conf";
    // Only a file that is really missing is created: one that exists but
    // cannot be read is the user's, and is left alone. (ENOTDIR: something
    // on the way to it is not a folder, so the file is missing too; trying
    // to create it reports that it could not be.)
    struct stat info;
    if (stat(file.c_str(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR))
        createFile();
    readFile(file);
}

void ConfigLoader::createFile() const {
    std::string file = getFilePath() + "/Lumenfall.conf";
    std::FILE* out = std::fopen(file.c_str(), "w");
    if (!out) {
        Log::plain("Could not create " + file);
        return;
    }
    std::fprintf(out, "w %d\n", ScreenResolution::getScreenWidth());
    std::fprintf(out, "h %d\n", ScreenResolution::getScreenHeight());
    std::fprintf(out, "a 0\nf 1\nns 0\nnm 0\naa CoreAudio\n");
    if (std::fclose(out) != 0)
        Log::plain("Could not create " + file);
}

void ConfigLoader::readFile(const std::string& file) {
    std::FILE* in = std::fopen(file.c_str(), "r");
    if (!in)
        return;
    readStream(in);
    std::fclose(in);
}

void ConfigLoader::readStream(std::FILE* in) {
    char line[128];
    for (;;) {
        // Reads one line up to its line feed. A line longer than the buffer
        // counts with its first 127 characters and the rest is skipped, so
        // later lines are still read. Lines are found by their line feeds,
        // never by the length of the text, so a NUL byte inside a line ends
        // only that line's text.
        size_t length = 0;
        bool readAny = false;
        int c;
        while ((c = std::fgetc(in)) != EOF && c != '\n') {
            readAny = true;
            if (length < sizeof(line) - 1)
                line[length++] = static_cast<char>(c);
        }
        if (c == EOF && !readAny)
            break;
        line[length] = '\0';
        length = std::strlen(line);
        while (length > 0 && line[length - 1] == '\r')
            line[--length] = '\0';
        if (length == 0)
            continue;

        readSetting(line, length);
    }
}

void ConfigLoader::readSetting(const char* line, size_t length) {
    int number = 0;
    switch (line[0]) {
    case 'w':
        // A size below 1 could never open a window: treat it as unreadable.
        if (length > 2 && readInt(line + 2, number) && number >= 1)
            width = number;
        break;
    case 'h':
        if (length > 2 && readInt(line + 2, number) && number >= 1)
            height = number;
        break;
    case 'a':
        if (line[1] == 'a') {
            if (length > 3)
                audioApi = line + 3;
        } else if (length > 2 && readInt(line + 2, number)) {
            antialiasLevel = number;
        }
        break;
    case 'f':
        if (length > 2)
            readBool(line + 2, fullscreen);
        break;
    case 'e':
        // "ex" only as the whole key: a longer word starting with it is another key.
        if (line[1] == 'x' && line[2] == ' ' && length > 3)
            readBool(line + 3, exhibit);
        break;
    case 'n':
        if (line[1] == 's' && length > 3)
            readBool(line + 3, noSound);
        else if (line[1] == 'm' && length > 3)
            readBool(line + 3, noMusic);
        break;
    default:
        break;
    }
}
