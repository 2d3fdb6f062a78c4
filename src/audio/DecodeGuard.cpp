#include "DecodeGuard.h"

namespace {

struct sigaction previousAction;

} // namespace

thread_local sigjmp_buf* DecodeGuard::current = nullptr;

void DecodeGuard::install() {
    // Installed once, on the first guarded call; the handler before it is
    // kept for faults outside a guard.
    static const bool installed = [] {
        struct sigaction action = {};
        action.sa_sigaction = &DecodeGuard::onFault;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        sigaction(SIGFPE, &action, &previousAction);
        return true;
    }();
    (void)installed;
}

void DecodeGuard::onFault(int signal, siginfo_t* info, void* context) {
    // Only the processor's own arithmetic faults carry a positive code; a
    // SIGFPE sent with kill, raise or pthread_kill does not. Such a signal
    // can arrive anywhere, with a lock of the C library held, so it is no
    // reason to leave the decoder; it goes on as if no guard were installed.
    const bool arithmeticFault = info && info->si_code > 0;
    if (arithmeticFault) {
        if (sigjmp_buf* target = current)
            siglongjmp(*target, 1);
    }
    // Not a fault inside the decoder: hand the signal on unchanged.
    if ((previousAction.sa_flags & SA_SIGINFO) && previousAction.sa_sigaction) {
        previousAction.sa_sigaction(signal, info, context);
        return;
    }
    if (previousAction.sa_handler == SIG_IGN && !arithmeticFault)
        return;
    if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN) {
        previousAction.sa_handler(signal);
        return;
    }
    // Default action: restore it. A fault then ends the program when its
    // instruction runs again on return; a sent signal is sent again, and is
    // delivered with the default action once this handler returns.
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(SIGFPE, &fallback, nullptr);
    if (!arithmeticFault)
        raise(signal);
}
