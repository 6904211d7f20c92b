#pragma once

// Loading the engine libraries by name at start-up and freeing them at exit.

namespace melodrift {

// Loads Sonobox, Arrangix, Tidelink and Glyphmint and resolves their tables.
// 0 on success; 1/3/5 a library did not load, 2/4/6 an entry point is missing
// (4 also when SM_Initialize fails). Glyphmint is optional. Libraries loaded
// before a failure stay loaded until UnbindEngineLibraries.
int BindEngineLibraries();

// Frees Arrangix, Sonobox, Tidelink and Glyphmint in that order and clears
// their slots and tables.
void UnbindEngineLibraries();

// The message shown for a binding code 1..6; "" for any other code.
const char* BindingFailureMessage(int code);

} // namespace melodrift
