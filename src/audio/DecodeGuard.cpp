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
    if (sigjmp_buf* target = current)
        siglongjmp(*target, 1);
    // Not inside the decoder: hand the fault on unchanged.
    if ((previousAction.sa_flags & SA_SIGINFO) && previousAction.sa_sigaction) {
        previousAction.sa_sigaction(signal, info, context);
        return;
    }
    if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN) {
        previousAction.sa_handler(signal);
        return;
    }
    // Default action: restore it and return; the faulting instruction runs
    // again and ends the program as it would have without the guard.
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(SIGFPE, &fallback, nullptr);
}
