#pragma once

// The timbre libraries (sound fonts) found beside the program, and the choice
// of the current one.

#include <string>

namespace melodrift {

class TSongModel;

// Offers every file of folder to the engine (MM_GetFontInfo) and lists those
// it accepts, in file name order. Returns the number listed.
int BuildTimbreLibraryList(TSongModel& song, const std::string& folder);

// Makes current the library whose file name is wanted, else "Pop default",
// else the first, and hands it to the engine. Returns true when the wanted
// one was found; false also when the list is empty.
bool ChooseTimbreLibrary(TSongModel& song, const std::string& wanted);

} // namespace melodrift
