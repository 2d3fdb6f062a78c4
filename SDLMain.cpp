// Process entry: hands the command line unchanged to the program's entry.
#include "Application.h"

int main(int argc, char** argv) {
    return SDL_main(argc, argv);
}
