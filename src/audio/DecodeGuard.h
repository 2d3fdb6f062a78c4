#pragma once

#include <csetjmp>
#include <csignal>

// Runs a call into the Ogg Vorbis decoder so that an arithmetic fault inside
// it fails that call instead of ending the program. The system's libvorbis
// divides by zero on some damaged recordings (a corrupted setup header whose
// pages still carry valid check sums). After a fault the decoder's state is
// abandoned half-way, so the caller may only clear it. A fault outside a
// guarded call, and a SIGFPE sent by kill, raise or pthread_kill even inside
// one, goes to whatever handled SIGFPE before, as if no guard were installed.
class DecodeGuard {
public:
    DecodeGuard() = delete;

    // Calls decode() and returns true, or false if it faulted. The call is
    // left without unwinding, so it must not own objects with destructors,
    // and values it was writing are not to be trusted after a fault.
    template <typename Call> static bool run(Call&& decode) {
        install();
        sigjmp_buf target;
        sigjmp_buf* const outer = current;
        if (sigsetjmp(target, 1) != 0) {
            current = outer;
            return false;
        }
        current = &target;
        decode();
        current = outer;
        return true;
    }

private:
    static void install();
    static void onFault(int signal, siginfo_t* info, void* context);

    static thread_local sigjmp_buf* current; // innermost guarded call on this thread
};
