// Readable text of an errno value, shared by the error displays of the
// tables library. Internal to the library.

#ifndef MIXTABLE_ACCESS_ERROR_TEXT_H_
#define MIXTABLE_ACCESS_ERROR_TEXT_H_

#include <string>

namespace mixtable {

// Sets *text to the system's description of the errno value code (without a
// line break) and answers true; answers false, leaving *text empty, when the
// system knows no such code.
bool ErrorText(int code, std::string* text);

// The file name of the running program, used as caption of message boxes
// (empty when it cannot be found).
std::string ProgramName();

}  // namespace mixtable

#endif  // MIXTABLE_ACCESS_ERROR_TEXT_H_
