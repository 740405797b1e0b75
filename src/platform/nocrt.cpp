// What a MinGW compiler expects from a C runtime that tamsel.exe does not have. Each function
// sits in its own section, so whatever the compiler did not ask for is dropped by the linker.
extern "C" {

// GCC calls this at the top of main to run static constructors; there are none.
void __main() {}

void* memset(void* destination, int value, __SIZE_TYPE__ count) {
    unsigned char* d = static_cast<unsigned char*>(destination);
    while (count--) *d++ = static_cast<unsigned char>(value);
    return destination;
}

void* memcpy(void* destination, const void* source, __SIZE_TYPE__ count) {
    unsigned char* d = static_cast<unsigned char*>(destination);
    const unsigned char* s = static_cast<const unsigned char*>(source);
    while (count--) *d++ = *s++;
    return destination;
}
}
