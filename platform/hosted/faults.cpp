// The fault injector of test builds: call counters and the one fault armed.
#include "platform/hosted/faults.h"

namespace hosted {

const char* OperationName(Operation operation) {
    static const char* const kNames[] = {"_lopen",       "_lcreat",       "_lread",        "_lwrite",
                                         "_llseek",      "expand read",   "expand write",  "profile write",
                                         "profile rename", "GetShortPathNameA", "SystemParametersInfoA",
                                         "MoveFile(Ex)A"};
    return operation < Operation::count ? kNames[static_cast<int>(operation)] : "?";
}

#if defined(QUENDOLIN_FAULT_INJECTION)

namespace {

struct ArmedFault {
    Operation operation = Operation::count;
    int nth = 0;
    FaultMode mode = FaultMode::once;
    WriteFault write = WriteFault::error;
    int calls = 0;
    bool fired = false;
};

ArmedFault g_fault;

}  // namespace

void InjectFault(Operation operation, int nth, FaultMode mode, WriteFault write) {
    g_fault = ArmedFault{operation, nth, mode, write, 0, false};
}

void ClearFaults() { g_fault = ArmedFault{}; }

bool ShouldFail(Operation operation) {
    if (operation != g_fault.operation) return false;
    ++g_fault.calls;
    const bool fails = g_fault.mode == FaultMode::once ? g_fault.calls == g_fault.nth : g_fault.calls >= g_fault.nth;
    g_fault.fired = g_fault.fired || fails;
    return fails;
}

bool FaultFired() { return g_fault.fired; }
WriteFault FiringWriteFault() { return g_fault.write; }

#endif

}  // namespace hosted
