// Error classes shared by all modules. Each carries exactly the message the user is shown.
#pragma once

#include <exception>
#include <stdexcept>
#include <string>

// Base of the program's own errors. Not a std::runtime_error: the library's implementation of
// it holds a string of the library's old reference-counted kind, which would link that whole
// string implementation into Setup.exe.
class Exception : public std::exception {
public:
    explicit Exception(const std::string& message) : Text(message) {}
    const char* what() const noexcept override { return Text.c_str(); }
    std::string Message() const { return Text; }

private:
    std::string Text;
};

// Damaged setup data or uninstall record, too little disk space.
class ESetupError : public Exception {
    using Exception::Exception;
};

// Invalid version text or stream form.
class EProgramVersionError : public Exception {
    using Exception::Exception;
};

// Stream layer: short reads and failed writes.
class EStreamError : public Exception {
    using Exception::Exception;
};
class EReadError : public EStreamError {
public:
    EReadError() : EStreamError("Stream read error") {}
};
class EWriteError : public EStreamError {
public:
    EWriteError() : EStreamError("Stream write error") {}

protected:
    explicit EWriteError(const std::string& message) : EStreamError(message) {}
};
// A file that takes no more bytes (a full disk): "Cannot write file "%s". %s".
class EFWriteError : public EWriteError {
public:
    EFWriteError(const std::string& path, const std::string& systemMessage)
        : EWriteError("Cannot write file \"" + path + "\". " + systemMessage) {}
};

// File layer: "Cannot open file "%s". %s" and "Cannot create file "%s". %s".
class EFileError : public EStreamError {
    using EStreamError::EStreamError;
};
class EFOpenError : public EFileError {
public:
    EFOpenError(const std::string& path, const std::string& systemMessage)
        : EFileError("Cannot open file \"" + path + "\". " + systemMessage) {}
};
class EFCreateError : public EFileError {
public:
    EFCreateError(const std::string& path, const std::string& systemMessage)
        : EFileError("Cannot create file \"" + path + "\". " + systemMessage) {}
};

// Decompression layer (a damaged zlib stream).
class EDecompressionError : public Exception {
    using Exception::Exception;
};
