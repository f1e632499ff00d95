// The one exception family of the program. Every failure that a user may see carries a readable
// message; a user action catches at its boundary and shows Message() in an error box.
// Safe to throw on any thread, but never let one cross a thread boundary.
#pragma once

#include <QString>
#include <exception>
#include <string>

namespace platform {

class Exception : public std::exception {
public:
    explicit Exception(QString message)
        : FMessage(std::move(message)), FUtf8(FMessage.toStdString()) {}
    const QString& Message() const noexcept { return FMessage; }
    const char* what() const noexcept override { return FUtf8.c_str(); }

private:
    QString FMessage;
    std::string FUtf8;
};

// Raised by the registry stand-in with the registry's own texts.
class ERegistryException : public Exception {
    using Exception::Exception;
};

// Raised by file writers (atomic replace, INI, XML save).
class EFileError : public Exception {
    using Exception::Exception;
};

}  // namespace platform
