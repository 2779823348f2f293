#include "ProcessState.h"

ProcessState& processState() {
    // Created on first use, so it is ready before any window asks for it.
    static ProcessState state;
    return state;
}

void resetProcessState() {
    processState() = ProcessState{};
}
