// Writes the test kit's cabinet fixtures into a folder: the fuzzer's seed corpus and the cross-checks' input.
#include <stdio.h>
#include <sys/stat.h>

#include "tests/kit/fixtures.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: cabkit_fixtures FOLDER\n");
        return 2;
    }
    mkdir(argv[1], 0755);
    if (!KitWriteFixtures(argv[1])) {
        fprintf(stderr, "cabkit_fixtures: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
