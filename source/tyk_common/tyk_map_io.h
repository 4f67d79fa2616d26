// Creating the files that hold map data.
#ifndef TYK_COMMON_TYK_MAP_IO_H
#define TYK_COMMON_TYK_MAP_IO_H

#include <cstdio>

// Opens path for writing as a new or emptied file, never through a symbolic link; with
// ownerOnly its permissions become owner read and write (also for a file that existed). Null
// when the file cannot be opened.
FILE* tykOpenNewFile(const char* path, bool ownerOnly);

#endif  // TYK_COMMON_TYK_MAP_IO_H
