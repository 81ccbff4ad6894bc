/* A small native program standing in for a launcher in the ELF packaging tests: it says that it
   ran, so a test can tell that packaging left it runnable. */
#include <stdio.h>

int main(int argc, char** argv) {
    (void)argv;
    printf("tiny launcher ran with %d arguments\n", argc - 1);
    return 0;
}
