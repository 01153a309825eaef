// Fault injection for the stand-in, in test builds only (QUENDOLIN_FAULT_INJECTION): the Nth call
// of a named operation fails, once or from then on. Elsewhere every check folds away to "no fault".
#pragma once

namespace hosted {

enum class Operation {
    lopen,
    lcreat,
    lread,
    lwrite,
    llseek,
    expandRead,        // the LZ32 stand-in's reads of a compressed source
    expandWrite,       // its writes of the expanded target
    profileWrite,      // the profile writer's write of the replacement file
    profileRename,     // and its rename over the old file
    shortPath,         // GetShortPathNameA
    systemParameters,  // SystemParametersInfoA
    moveFile,          // MoveFileExA and MoveFileA
    count
};

const char* OperationName(Operation operation);

enum class FaultMode {
    once,        // only the Nth call fails
    persistent,  // the Nth call and every later one fail
};

// How a failing write fails: with an error, or as a full disk that takes part of the bytes.
enum class WriteFault { error, diskFull };

#if defined(QUENDOLIN_FAULT_INJECTION)
void InjectFault(Operation operation, int nth, FaultMode mode, WriteFault write = WriteFault::error);
void ClearFaults();
// Counts a call of the operation; true when this call must fail.
bool ShouldFail(Operation operation);
// Whether an injected fault has fired since the last InjectFault.
bool FaultFired();
WriteFault FiringWriteFault();
#else
inline bool ShouldFail(Operation) { return false; }
inline WriteFault FiringWriteFault() { return WriteFault::error; }
#endif

}  // namespace hosted
