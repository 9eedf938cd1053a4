#pragma once
// The one exception type of the program: an error with a message for the user.
// The top-level handler shows Message in the standard error box.
#include <exception>
#include <string>

class EInstallError : public std::exception {
public:
    explicit EInstallError(std::wstring message) : Message(std::move(message)) {}
    const char* what() const noexcept override { return "EInstallError"; }
    std::wstring Message;
};

// Text of a Win32 error code as the system words it, without the trailing line break.
std::wstring SysErrorMessage(unsigned long code);
