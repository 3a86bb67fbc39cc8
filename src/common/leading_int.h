// Numbers at the start of short texts (CSIDL tokens, INI switches), read the
// way atoi reads them but without its undefined behaviour on overflow.
#pragma once

// Leading blanks (any white space), an optional sign, then decimal digits; 0
// when no digit follows. Values beyond int's range saturate.
int ParseLeadingInt(const char* text);
