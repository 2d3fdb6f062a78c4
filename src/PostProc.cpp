#include "PostProc.h"

unsigned int PostProc::shader = 0;
unsigned int PostProc::images[4] = {0, 0, 0, 0};
std::vector<unsigned int> PostProc::featherImages;
