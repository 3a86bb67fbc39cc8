// Numbers at the start of short texts (CSIDL tokens, INI switches), read the
// way atoi reads them but without its undefined behaviour on overflow.
#pragma once

// Leading blanks (any white space), an optional sign, then decimal digits; 0
// when no digit follows. Values beyond int's range saturate.
int ParseLeadingInt(const char* text);

// A count given on a command line: a whole decimal number (leading blanks and
// a sign allowed, nothing after the digits) that fits an int, into *value.
// False, with *value untouched, for anything else.
bool ParseWholeInt(const char* text, int* value);
