#pragma once

#include <string>

// Carries a fatal start-up message back to the entry, which prints it.
class FatalError {
public:
    // exitStatus: what the process returns after showing the message.
    explicit FatalError(const std::string& message, int exitStatus = 1);
    // Writes the message and a newline to standard output.
    void display() const;

    std::string message;
    int exitStatus;
};
