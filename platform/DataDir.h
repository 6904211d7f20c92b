#pragma once

#include <string>

namespace melodrift::platform {

// The data folder for libraries in libraryDir: the folder itself when it holds
// styles/ or Fonts/ (a build), else <prefix>/share/melodrift for libraries in
// <prefix>/lib/melodrift or <prefix>/lib (an install); libraryDir when neither.
std::string FindDataDir(const std::string& libraryDir);

} // namespace melodrift::platform
