#pragma once

#include <stdexcept>
#include <string>

// An error whose message (code page 950) is for the user: the application shows it in a message
// box and goes on.
class ProgramError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Text to integer as the toolkit converts it: an optional sign and decimal digits that fit in
// 32 bits, or the error "'text' is not a valid integer value" (with the text's control bytes and
// NULs written as \x00 and the like, so that the message shows all of it).
int StrToInt(const std::string& text);
