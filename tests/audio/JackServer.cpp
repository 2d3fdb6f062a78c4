#include "JackServer.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

// text as one word for the shell (the paths hold no quote).
std::string shellWord(const std::string& text) {
    return "'" + text + "'";
}

} // namespace

JackServer::JackServer(int rate) : ready(false) {
    std::string pattern =
        std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/lumenfall-jack.XXXXXX";
    std::vector<char> folder(pattern.begin(), pattern.end());
    folder.push_back('\0');
    if (!mkdtemp(folder.data()))
        return;
    state = folder.data();
    std::string start = shellWord(std::string(LUMENFALL_HARNESS_DIR) + "/jack-start") + " " +
                        shellWord(state) + " " + std::to_string(rate) + " >/dev/null";
    if (std::system(start.c_str()) != 0)
        return;
    std::ifstream file(state + "/jack-name");
    ready = static_cast<bool>(std::getline(file, name)) && !name.empty();
}

JackServer::~JackServer() {
    if (state.empty())
        return;
    std::string stop = shellWord(std::string(LUMENFALL_HARNESS_DIR) + "/jack-stop") + " " + shellWord(state);
    if (std::system(stop.c_str()) == 0) {
        std::error_code ignored;
        std::filesystem::remove_all(state, ignored);
    }
}
