#include "Application.h"

int SDL_main(int, char**) {
    return 0;
}
