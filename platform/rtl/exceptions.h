#pragma once
// The exception hierarchy of the runtime: one base class with a message and a
// virtual class name, so that "class name. message" texts can be built.

#include <exception>
#include <string>

namespace tabrix {

class Exception : public std::exception {
public:
    explicit Exception(std::string message, int helpContext = 0)
        : FMessage(std::move(message)), FHelpContext(helpContext) {}
    ~Exception() override = default;

    const std::string& Message() const noexcept { return FMessage; }
    void SetMessage(std::string message) { FMessage = std::move(message); }
    int HelpContext() const noexcept { return FHelpContext; }
    const char* what() const noexcept override { return FMessage.c_str(); }
    virtual const char* ClassName() const noexcept { return "Exception"; }

private:
    std::string FMessage;
    int FHelpContext;
};

// Declares an exception class that adds nothing but its name.
#define TABRIX_EXCEPTION_CLASS(Name, Base)                                \
    class Name : public Base {                                            \
    public:                                                               \
        using Base::Base;                                                 \
        const char* ClassName() const noexcept override { return #Name; } \
    }

TABRIX_EXCEPTION_CLASS(EAbort, Exception);
TABRIX_EXCEPTION_CLASS(EConvertError, Exception);
TABRIX_EXCEPTION_CLASS(EListError, Exception);
TABRIX_EXCEPTION_CLASS(EAssertionFailed, Exception);
TABRIX_EXCEPTION_CLASS(EArgumentException, Exception);
TABRIX_EXCEPTION_CLASS(ERangeError, Exception);
TABRIX_EXCEPTION_CLASS(EVariantError, Exception);
TABRIX_EXCEPTION_CLASS(EInOutError, Exception);
TABRIX_EXCEPTION_CLASS(EStreamError, Exception);
TABRIX_EXCEPTION_CLASS(EFOpenError, EStreamError);
TABRIX_EXCEPTION_CLASS(EFCreateError, EStreamError);
TABRIX_EXCEPTION_CLASS(EReadError, EStreamError);
TABRIX_EXCEPTION_CLASS(EWriteError, EStreamError);
TABRIX_EXCEPTION_CLASS(EDatabaseError, Exception);
TABRIX_EXCEPTION_CLASS(EOleError, Exception);

// "ClassName. Message", as shown where an error is reported to a person.
std::string ExceptionText(const Exception& e);

// Raises EAssertionFailed with the message when the condition does not hold;
// kept in release builds since callers rely on the checks.
void Assert(bool condition, const std::string& message);

// The text of any failure as the caller gets it back: the message of one of
// ours, what() of anything else.
inline std::string MessageOf(const std::exception& e) {
    if (const auto* ex = dynamic_cast<const Exception*>(&e)) return ex->Message();
    return e.what();
}

// Raises EListError "List index out of bounds (index)", the platform lists'
// error for an index outside 0..Count-1.
[[noreturn]] void RaiseListIndexError(long long index);

}  // namespace tabrix
