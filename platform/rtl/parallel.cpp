#include "platform/rtl/parallel.h"

#include <exception>
#include <thread>

namespace tabrix {

bool HasSecondCore() { return std::thread::hardware_concurrency() > 1; }

void RunSideBySide(const std::function<void()>& here, const std::function<void()>& beside) {
    if (!HasSecondCore()) {
        here();
        beside();
        return;
    }
    std::exception_ptr besideError;
    std::thread other([&] {
        try {
            beside();
        } catch (...) {
            besideError = std::current_exception();
        }
    });
    {
        // Joined whatever `here` does: the other half reads what the caller owns.
        struct TJoin {
            std::thread& Thread;
            ~TJoin() { Thread.join(); }
        } join{other};
        here();
    }
    if (besideError) std::rethrow_exception(besideError);
}

}  // namespace tabrix
