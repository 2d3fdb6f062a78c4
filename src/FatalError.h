#pragma once

#include <string>

// Carries a fatal start-up message back to the entry, which prints it.
class FatalError {
public:
    explicit FatalError(const std::string& message);
    // Writes the message and a newline to standard output.
    void display() const;

    std::string message;
};
