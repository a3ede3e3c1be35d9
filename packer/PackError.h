// The error every packer command reports to the user before exiting non-zero.
#pragma once

#include <stdexcept>
#include <string>

namespace Norvane::Packer {

class EPackError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A wrong command line: reported together with the usage text.
class EUsageError : public EPackError {
public:
    using EPackError::EPackError;
};

} // namespace Norvane::Packer
