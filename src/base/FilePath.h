#pragma once

#include <cstdio>
#include <string>
#include <vector>

// A path value with queries on the file system and look-ups of the folders
// the program uses. An empty path stands for "no path": every query on it
// answers false, 0 or empty. Nothing here throws or prints.
class FilePath {
public:
    FilePath();
    FilePath(const std::string& path);

    void setPath(const std::string& newPath);

    bool exists() const;
    // Anything that exists and is not a directory counts as a file.
    bool isFile() const;
    bool isDirectory() const;
    // Entries other than "." and "..", hidden ones included.
    int getNumChildren() const;
    // The index-th entry in byte-wise sorted order; empty when out of range.
    FilePath getChild(int index) const;
    // Every entry's name in that order, from one reading of the folder.
    std::vector<std::string> getSortedChildNames() const;
    // path + "/" + name, unchecked.
    FilePath getChild(const std::string& name) const;
    FilePath getParent() const;
    std::string getNameWithExtension() const;
    // The name without its last extension: "photo.tar.gz" gives "photo.tar".
    std::string getName() const;
    // Everything after the last "." of the whole path; empty for a directory.
    std::string getExtension() const;

    // The file at path opened for reading ("rb"), or null when it cannot be
    // opened or is not a regular file (a folder, a pipe, a device); opening
    // never waits for a writer.
    static std::FILE* openForReading(const std::string& path);

    bool createAsDirectory() const;
    // Copies the file's bytes to target (no shell involved); true on success.
    // Refused when the path is not a regular file or target is that same file.
    bool copyTo(const std::string& target) const;

    // The game's data: "data" beside the executable (build tree), else
    // "../share/lumenfall" from the executable's folder (installed layout),
    // else the install data folder the build names (BuildConfig.h), first
    // relative to the executable's folder, then as the absolute path.
    static FilePath getDataFilesDir();
    // The folders getDataFilesDir looks in, in order.
    static std::vector<FilePath> getDataFilesCandidates();
    // $XDG_CONFIG_HOME, or $HOME/.config.
    static FilePath getAppDataPath();
    // $HOME, or the password database's home when HOME is unset.
    static FilePath getHomeDir();
    static FilePath getCurrentExecutableDir();
    static std::vector<FilePath> getFontsDirs();

    std::string path;
};
