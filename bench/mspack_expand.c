/* The peer that mkpackage expand is timed against: a file-to-file SZDD expander over libmspack's
   decompressor, as small as such a tool gets. Usage: mspack_expand IN OUT */
#include <mspack.h>
#include <stdio.h>

int main(int argc, char** argv) {
    struct msszdd_decompressor* decompressor;
    int error;
    if (argc != 3) {
        fputs("usage: mspack_expand IN OUT\n", stderr);
        return 2;
    }
    decompressor = mspack_create_szdd_decompressor(NULL);
    if (decompressor == NULL) {
        fputs("mspack_expand: no decompressor\n", stderr);
        return 1;
    }
    error = decompressor->decompress(decompressor, argv[1], argv[2]);
    mspack_destroy_szdd_decompressor(decompressor);
    if (error != MSPACK_ERR_OK) {
        fprintf(stderr, "mspack_expand: %s: libmspack error %d\n", argv[1], error);
        return 1;
    }
    return 0;
}
