// The little the tool needs to know about its standard streams.
#pragma once

#include <cstdio>

namespace korvex::tool {

// True when the stream is an interactive terminal.
bool IsTerminal(std::FILE* stream);

// Bytes pass unchanged (no LF -> CR LF translation on Windows), so CSV and the
// declaration text keep the line ends they were written with.
void SetBinaryMode(std::FILE* stream);

}  // namespace korvex::tool
