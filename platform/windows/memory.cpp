// memset and memcpy for the installer, which links no C runtime: GCC may emit calls to them for
// buffer initialisation and structure copies even in freestanding code.
#include <stddef.h>

// String instructions, so that the compiler cannot turn the body back into a call to itself.
extern "C" void* memset(void* destination, int value, size_t count) {
    void* cursor = destination;
    asm volatile("rep stosb" : "+D"(cursor), "+c"(count) : "a"(value) : "memory");
    return destination;
}

extern "C" void* memcpy(void* destination, const void* source, size_t count) {
    void* target = destination;
    asm volatile("rep movsb" : "+D"(target), "+S"(source), "+c"(count) : : "memory");
    return destination;
}
