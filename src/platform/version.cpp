#include "platform/version.h"

#include <cstdio>
#include <cstring>

namespace nimbrel {

bool printVersionIfAsked(const char* program, int argc, char** argv) {
    if (argc != 2 || std::strcmp(argv[1], "--version") != 0) return false;
    std::printf("%s (%s)\n", program, kVersionText);
    return true;
}

}  // namespace nimbrel
