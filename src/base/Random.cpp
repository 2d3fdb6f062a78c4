#include "Random.h"

#include <ctime>

Random::Random() : counter(static_cast<int32_t>(time(nullptr))) {}

Random& Random::getGlobal() {
    static Random global;
    return global;
}
