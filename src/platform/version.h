// The program's version, as the About box shows it. The build reads kVersionNumber from this
// file for the package version.
#pragma once

namespace nimbrel {

inline constexpr const char* kVersionNumber = "1.1.17.0";
inline constexpr const char* kVersionText = "Nimbrel, Version 1.1.17.0";

// For the executables' main(): when the only argument is --version, prints
// "<program> (Nimbrel, Version ...)" on stdout and returns true.
bool printVersionIfAsked(const char* program, int argc, char** argv);

}  // namespace nimbrel
