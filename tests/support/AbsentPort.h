#pragma once
// "No register": the port's comN entry in the folder's "dosdevices/" is a
// link to nothing, so opening "COM" + N fails at once. A port number without
// such an entry would fall back to the machine's own /dev/ttyS<N-1>.

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>

inline void LinkAbsentPort(const TempDir& dir, int port)
{
    ::mkdir(dir.File("dosdevices").c_str(), 0700);
    const std::string link = dir.File("dosdevices/com" + std::to_string(port));
    ASSERT_EQ(::symlink(dir.File("absent-port").c_str(), link.c_str()), 0) << link;
}

// No register on any port, whatever port number a test sets.
inline void LinkAllPortsAbsent(const TempDir& dir)
{
    for (int port = 1; port <= 255; ++port)
        LinkAbsentPort(dir, port);
}
