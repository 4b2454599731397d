// The one exception type of the image library. Deep import code throws it to abandon a
// block it cannot read; the public operation that started the import catches it, copies
// the message into the image's lastError and reports false. It never leaves the library.
#pragma once

#include <cstring>
#include <exception>

class GwException : public std::exception {
public:
    // Keeps at most 255 characters of the message (the size of an image's lastError).
    explicit GwException(const char* message) noexcept {
        if (!message) message = "";
        std::strncpy(m_message, message, sizeof(m_message) - 1);
        m_message[sizeof(m_message) - 1] = '\0';
    }
    const char* what() const noexcept override { return m_message; }

private:
    char m_message[256];
};
