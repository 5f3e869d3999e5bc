#include "platform/rtl/exceptions.h"

#include <string>

namespace tabrix {

std::string ExceptionText(const Exception& e) {
    std::string text = e.ClassName();
    text += ". ";
    text += e.Message();
    return text;
}

void Assert(bool condition, const std::string& message) {
    if (!condition) throw EAssertionFailed(message);
}

void RaiseListIndexError(long long index) {
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

}  // namespace tabrix
