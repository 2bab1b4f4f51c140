// The system's answer to "does this byte start a double-byte character?" in
// the ANSI code page, in the form the core's name functions take.
#pragma once

#include <windows.h>

inline bool IsLeadByte(unsigned char value)
{
    return IsDBCSLeadByte(value) != FALSE;
}
