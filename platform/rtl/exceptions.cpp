#include "platform/rtl/exceptions.h"

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

}  // namespace tabrix
