// The last error of the platform layer, per thread; the same on every backend.
#include "platform/System.h"

namespace Norvane::Platform {
namespace {

thread_local int ErrorCode = 0;
thread_local std::string ErrorMessage;

} // namespace

int LastErrorCode() {
    return ErrorCode;
}

std::string LastErrorMessage() {
    return ErrorMessage.empty() ? SystemErrorMessage(ErrorCode) : ErrorMessage;
}

void SetLastError(int code, std::string message) {
    ErrorCode = code;
    ErrorMessage = std::move(message);
}

} // namespace Norvane::Platform
