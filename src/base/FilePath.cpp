#include "FilePath.h"

#include "BuildConfig.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

FilePath::FilePath() {}

FilePath::FilePath(const std::string& path) : path(path) {}

void FilePath::setPath(const std::string& newPath) {
    path = newPath;
}

bool FilePath::exists() const {
    struct stat info;
    return !path.empty() && stat(path.c_str(), &info) == 0;
}

bool FilePath::isDirectory() const {
    if (!exists())
        return false;
    DIR* dir = opendir(path.c_str());
    if (!dir)
        return false;
    closedir(dir);
    return true;
}

bool FilePath::isFile() const {
    if (!exists())
        return false;
    DIR* dir = opendir(path.c_str());
    if (dir) {
        closedir(dir);
        return false;
    }
    return true;
}

std::FILE* FilePath::openForReading(const std::string& path) {
    if (path.empty())
        return nullptr;
    // Without O_NONBLOCK, opening a pipe would wait for a writer.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat info;
    const int flags = fcntl(fd, F_GETFL);
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(fd);
        return nullptr;
    }
    std::FILE* file = fdopen(fd, "rb");
    if (!file)
        close(fd);
    return file;
}

std::vector<std::string> FilePath::getSortedChildNames() const {
    std::vector<std::string> names;
    if (path.empty())
        return names;
    DIR* dir = opendir(path.c_str());
    if (!dir)
        return names;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

int FilePath::getNumChildren() const {
    return static_cast<int>(getSortedChildNames().size());
}

FilePath FilePath::getChild(int index) const {
    std::vector<std::string> names = getSortedChildNames();
    if (index < 0 || index >= static_cast<int>(names.size()))
        return FilePath();
    return FilePath(path + "/" + names[index]);
}

FilePath FilePath::getChild(const std::string& name) const {
    return FilePath(path + "/" + name);
}

FilePath FilePath::getParent() const {
    std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos)
        return *this;
    return FilePath(path.substr(0, slash));
}

std::string FilePath::getNameWithExtension() const {
    std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FilePath::getName() const {
    std::string name = getNameWithExtension();
    std::string::size_type dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string FilePath::getExtension() const {
    if (path.empty() || isDirectory())
        return std::string();
    std::string::size_type dot = path.rfind('.');
    return dot == std::string::npos ? path : path.substr(dot + 1);
}

bool FilePath::createAsDirectory() const {
    return !path.empty() && mkdir(path.c_str(), 0775) == 0;
}

bool FilePath::copyTo(const std::string& target) const {
    if (path.empty() || target.empty())
        return false;
    int in = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    // Only a regular file is copied: a folder would leave an empty target.
    struct stat source;
    if (fstat(in, &source) != 0 || !S_ISREG(source.st_mode)) {
        close(in);
        return false;
    }
    // The target is emptied only once it is known not to be the source
    // itself (under any name: a link, or the same path spelt differently).
    int out = open(target.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (out < 0) {
        close(in);
        return false;
    }
    struct stat existing;
    if (fstat(out, &existing) != 0 ||
        (existing.st_dev == source.st_dev && existing.st_ino == source.st_ino) || ftruncate(out, 0) != 0) {
        close(out);
        close(in);
        return false;
    }
    bool ok = true;
    char buffer[65536];
    for (;;) {
        ssize_t got = read(in, buffer, sizeof(buffer));
        if (got == 0)
            break;
        if (got < 0) {
            ok = false;
            break;
        }
        for (ssize_t done = 0; done < got;) {
            ssize_t wrote = write(out, buffer + done, static_cast<size_t>(got - done));
            if (wrote <= 0) {
                ok = false;
                break;
            }
            done += wrote;
        }
        if (!ok)
            break;
    }
    close(in);
    if (close(out) != 0)
        ok = false;
    return ok;
}

FilePath FilePath::getCurrentExecutableDir() {
    char buffer[4096];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (length <= 0)
        return FilePath();
    buffer[length] = '\0';
    return FilePath(buffer).getParent();
}

std::vector<FilePath> FilePath::getDataFilesCandidates() {
    std::vector<FilePath> candidates;
    auto add = [&candidates](const FilePath& folder) {
        for (const FilePath& candidate : candidates)
            if (candidate.path == folder.path)
                return;
        candidates.push_back(folder);
    };
    FilePath executableDir = getCurrentExecutableDir();
    if (!executableDir.path.empty()) {
        add(executableDir.getChild("data"));
        add(executableDir.getChild("../share/lumenfall"));
        // The install data folder where it lies from this executable first, so
        // that a moved or unpacked install reads its own data...
        add(executableDir.getChild(LUMENFALL_INSTALL_DATADIR_FROM_BINDIR));
    }
    // ...then where the build put it (/usr/share/games/lumenfall in the package).
    add(FilePath(LUMENFALL_INSTALL_DATADIR));
    return candidates;
}

FilePath FilePath::getDataFilesDir() {
    for (const FilePath& candidate : getDataFilesCandidates())
        if (candidate.isDirectory())
            return candidate;
    return FilePath();
}

FilePath FilePath::getHomeDir() {
    const char* home = getenv("HOME");
    if (home && *home)
        return FilePath(home);
    if (passwd* entry = getpwuid(getuid()))
        if (entry->pw_dir)
            return FilePath(entry->pw_dir);
    return FilePath();
}

FilePath FilePath::getAppDataPath() {
    const char* config = getenv("XDG_CONFIG_HOME");
    if (config && *config)
        return FilePath(config);
    FilePath home = getHomeDir();
    if (home.path.empty())
        return FilePath();
    return home.getChild(".config");
}

std::vector<FilePath> FilePath::getFontsDirs() {
    std::vector<FilePath> dirs;
    FilePath home = getHomeDir();
    if (!home.path.empty()) {
        dirs.push_back(home.getChild(".local/share/fonts"));
        dirs.push_back(home.getChild(".fonts"));
    }
    dirs.push_back(FilePath("/usr/local/share/fonts"));
    dirs.push_back(FilePath("/usr/share/fonts"));
    return dirs;
}
