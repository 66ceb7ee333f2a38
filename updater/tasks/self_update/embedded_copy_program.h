#pragma once
// The copy program, carried inside the updater as the bytes of its program
// file (written at build time from the built copy program).

#include <span>

// The complete program file of the copy program, to be written out unchanged.
std::span<const unsigned char> EmbeddedCopyProgram();
