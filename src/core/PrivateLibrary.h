#pragma once

#include <QString>

// Where the desktop-text library (libjotvanehook.so) is: beside the binary (the runnable tree and
// portable copies of it) or, installed, in the program's private library folder; else the bare
// name, for the loader's own search. The binary's RPATH names the same folders, but a tool that
// loads libraries on the program's behalf (a sanitizer's runtime, a profiler) makes the loader
// search its path instead of the program's.
QString HookLibraryFile();
